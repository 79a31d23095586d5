// What an administrator can do about a run that went wrong, as one line for
// the recent jobs window and the job's text: pure functions over what the
// journal recorded of it. Texts are plain ASCII.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "job/journal_reader.h"

namespace ui {

// What to do about a run of `runner` ("label-program", "api-proxy",
// "bartender") that ended with `outcome`; `exitCode` counts when `hasExit`;
// `error` is the recorded error ("<code> <system text>") or the connector's
// reason for not starting it; `windowsErrors` says whose error codes these
// are (Win32's, or the POSIX errno values of the host build). "" for a run
// that needs nothing: it exited with 0, or the operator cancelled the print
// dialog.
std::string RunWhatToDo(std::string_view runner, journal::RunOutcome outcome, bool hasExit,
                        std::int64_t exitCode, std::string_view error, bool windowsErrors);

// What to do about a data file the job could not read, or that held no line.
std::string DataFileWhatToDo();

}  // namespace ui
