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
    // A policy for `name` that cannot be read (Win32: a value of registry
    // type `regType`, REG_MULTI_SZ or REG_QWORD; host: the policy file, a
    // folder in its place). Returns the name a job's journal gives it.
    std::string SetUnreadable(const std::string& name, const std::string& regType);
    // Host: the policy file's bytes as given.
    void SetFileBytes(const std::string& bytes);

private:
    TempDir dir_;
};

}  // namespace testsupport
