// Whether the tests run under Wine, whose private-profile functions (among
// others) differ from Windows' in places; tests name those places.
#pragma once

namespace testsupport {

// Win32: whether ntdll exports wine_get_version. POSIX: always false.
bool RunningUnderWine();

}  // namespace testsupport
