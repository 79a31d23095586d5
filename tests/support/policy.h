// Administrator's policy values for the length of a test: Win32 under
// HKLM\SOFTWARE\Policies\Vantor, set with reg.exe as an administrator would
// (Wine lets its root user write there); the host build in a policy file of
// the test's own, which only this test process reads.
#pragma once

#include <cstdint>
#include <string>

#include "support/temp_dir.h"

namespace testsupport {

class PolicyScope {
public:
    PolicyScope();
    ~PolicyScope();  // removes every value it set
    PolicyScope(const PolicyScope&) = delete;
    PolicyScope& operator=(const PolicyScope&) = delete;

    void SetText(const std::string& name, const std::string& value);
    // Win32: a DWORD value; host: its decimal text.
    void SetNumber(const std::string& name, uint32_t value);

private:
    TempDir dir_;
};

}  // namespace testsupport
