#!/bin/sh
# Runs tests of the Windows test program with the Unix standard error of its
# whole process tree in a file, which the tests find in VANTOR_TRACE_FILE:
#   run-with-trace.sh PROGRAM.exe FILTER
# Wine writes a process's trace (WINEDEBUG) to its Unix standard error, which
# a GUI program such as the connector inherits from the program that starts
# it, whatever its standard handles say; this is how a test reads the trace
# of the connector it starts. The trace is shown afterwards.
set -u
trace="$(mktemp)"
VANTOR_TRACE_FILE="$trace" wine "$1" --gtest_filter="$2" 2>"$trace"
status=$?
cat "$trace" >&2
rm -f "$trace"
exit $status
