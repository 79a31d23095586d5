// Where the built programs are, as the running test program must name them.
// The build folders come from the compile definitions VANTOR_BUILD_DIR and
// VANTOR_SOURCE_DIR, which are Linux paths; the Windows tests run under Wine,
// which shows the Linux root as drive Z:, so /x/y becomes Z:\x\y there.
#pragma once

#include <string>
#include <string_view>

namespace testsupport {

// A Linux path as the running program names it: unchanged natively, Z:\...
// on Windows. A path that already starts with a drive letter is only given
// backslashes.
std::string NativePath(std::string_view linuxPath);

std::string BuildDir();
std::string SourceDir();

// ".exe" on Windows, "" on the host.
std::string ExeSuffix();

// The connector as built: <build>/vantor[.exe].
std::string ConnectorProgram();

// A program built from tools/: <build>/tools/<name>[.exe].
std::string ToolProgram(std::string_view name);

}  // namespace testsupport
