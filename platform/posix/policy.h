// The host build's policy file (platform::PolicyValue).
#pragma once

#include <string>

namespace platform::posix {

// Where the host build's administrator locks settings: section [Settings],
// the keys named as in the connector's settings file. Taken only while the
// file belongs to root and no one else may write it.
inline constexpr const char* kPolicyFile = "/etc/vantor/policy.ini";

// Tests read their own policy file instead (without the owner rule).
void SetPolicyFileForTests(const std::string& path);

}  // namespace platform::posix
