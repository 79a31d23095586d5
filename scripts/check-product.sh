#!/usr/bin/env bash
# Checks the built product without running it, so that a machine that cannot
# run 32-bit programs still checks what ships:
#   scripts/check-product.sh build/win32/vantor.exe
# a PE32 GUI program for i386; it imports only DLLs every Windows has; it
# carries res/vantor.manifest byte for byte; its load configuration asks for
# DLLs from the system folder only. (Signatures: scripts/package-test.sh.)
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
EXE="${1:?usage: $0 EXE}"
OBJDUMP=i686-w64-mingw32-objdump

fail() { echo "check-product: FAILED: $*" >&2; exit 1; }
headers="$("$OBJDUMP" -p "$EXE")" || fail "objdump cannot read $EXE"
grep -q '^Magic[[:space:]]*010b[[:space:]]*(PE32)' <<<"$headers" || fail "$EXE is not a PE32 image"
grep -q '^architecture: i386' < <("$OBJDUMP" -f "$EXE") || fail "$EXE is not for i386"
grep -q '^Subsystem[[:space:]]*00000002[[:space:]]*(Windows GUI)' <<<"$headers" || fail "$EXE is not a GUI program"
echo "ok: $EXE is a PE32 GUI program for i386"
cmake -DOBJDUMP="$OBJDUMP" -DEXE="$EXE" -P "$ROOT/cmake/check-imports.cmake" >/dev/null ||
  fail "$EXE imports a DLL a clean Windows does not have"
echo "ok: only system DLLs imported"
python3 - "$EXE" "$ROOT/res/vantor.manifest" <<'PY' || fail "$EXE does not carry res/vantor.manifest"
import sys
sys.exit(0 if open(sys.argv[2], "rb").read() in open(sys.argv[1], "rb").read() else 1)
PY
echo "ok: manifest embedded as written"
python3 "$ROOT/tools/pe_load_config.py" check "$EXE" >/dev/null || fail "no DependentLoadFlags in $EXE"
echo "ok: DependentLoadFlags ask for system-folder DLLs only"
