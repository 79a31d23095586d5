// The pure part of the About box's version line: how the FileVersion string
// of the version resource becomes the text "Version: ...". The resource
// lookup itself is Win32 (ui/win32/file_version.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/text.h"

namespace ui {

// The buffer size the About box passes for the FileVersion string.
inline constexpr std::size_t kFileVersionBufferSize = 1000;

// The version-resource path of the FileVersion string of one translation:
// "\StringFileInfo\" + language and code page as four upper-case hex digits
// each + "\FileVersion" (0x0409, 0x04E4 give "...\040904E4\FileVersion").
std::string FileVersionSubBlock(std::uint16_t language, std::uint16_t codePage);

// What GetFileVersionString hands back for a found FileVersion string:
// every "(" becomes "{" and every ")" "}", and the text is cut to at most
// bufferSize - 1 bytes without splitting a double-byte character (a lead
// byte whose trail byte would not fit is left out). bufferSize 0 gives "".
std::string StoredFileVersion(std::string_view found, std::size_t bufferSize,
                              text::LeadByteRule isLead = text::SystemLeadByte);

// The text of the About box's version line: commas become dots, blanks are
// removed, and the result follows "Version: ". An empty version (no usable
// version resource) gives "Version: ".
std::string VersionLine(std::string_view fileVersion);

}  // namespace ui
