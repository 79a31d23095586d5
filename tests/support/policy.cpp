#include "support/policy.h"

#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "platform/platform.h"
#include "support/connector_install.h"
#ifndef _WIN32
#include "platform/posix/policy.h"
#endif

namespace testsupport {

namespace {

#ifdef _WIN32
constexpr const char* kKey = "HKLM\\SOFTWARE\\Policies\\Vantor";

void Reg(const std::string& arguments) {
    const ProcessResult result = RunProgram("reg.exe " + arguments);
    if (!result.started || result.exitCode != 0)
        throw std::runtime_error("reg " + arguments + " failed: " + result.output);
}
#endif

}  // namespace

PolicyScope::PolicyScope() {
#ifndef _WIN32
    platform::posix::SetPolicyFileForTests(dir_.File("policy.ini"));
#endif
}

PolicyScope::~PolicyScope() {
#ifdef _WIN32
    (void)RunProgram(std::string("reg.exe delete ") + kKey + " /f");
#else
    platform::posix::SetPolicyFileForTests(platform::posix::kPolicyFile);
#endif
}

void PolicyScope::SetText(const std::string& name, const std::string& value) {
#ifdef _WIN32
    Reg(std::string("add ") + kKey + " /v " + name + " /t REG_SZ /d \"" + value + "\" /f");
#else
    platform::ProfileWriteString("Settings", name, value, dir_.File("policy.ini"));
#endif
}

void PolicyScope::SetNumber(const std::string& name, uint32_t value) {
#ifdef _WIN32
    Reg(std::string("add ") + kKey + " /v " + name + " /t REG_DWORD /d " + std::to_string(value) + " /f");
#else
    SetText(name, std::to_string(value));
#endif
}

std::string PolicyScope::SetUnreadable(const std::string& name, const std::string& regType) {
#ifdef _WIN32
    Reg(std::string("add ") + kKey + " /v " + name + " /t " + regType + " /d 1 /f");
    return name;
#else
    (void)name;
    (void)regType;
    std::remove(dir_.File("policy.ini").c_str());
    std::filesystem::create_directory(dir_.File("policy.ini"));
    return dir_.File("policy.ini");
#endif
}

void PolicyScope::SetFileBytes(const std::string& bytes) { WriteFileBytes(dir_.File("policy.ini"), bytes); }

}  // namespace testsupport
