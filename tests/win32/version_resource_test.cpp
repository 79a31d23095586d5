// GetFileVersionString against real executables: the connector as built, a
// program without a version resource, and copies of one given a version
// resource of our making (UpdateResource) for the cases the connector's own
// resource does not show.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/build_paths.h"
#include "support/temp_dir.h"
#include "ui/win32/file_version.h"
#include "vantor_version.h"

namespace {

// ------------------------------------------- building a version resource

std::string Utf16(const std::string& ascii) {
    std::string out;
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out + std::string(2, '\0');
}

void Pad4(std::string& s) {
    while (s.size() % 4) s += '\0';
}

// One node of a VS_VERSIONINFO tree: length, value length, type, key, value,
// children, each part on a 4-byte boundary.
std::string Node(const std::string& key, const std::string& value, WORD valueLength, WORD type,
                 const std::vector<std::string>& children = {}) {
    std::string out(6, '\0');
    out += Utf16(key);
    Pad4(out);
    out += value;
    for (const std::string& child : children) {
        Pad4(out);
        out += child;
    }
    const WORD header[3] = {static_cast<WORD>(out.size()), valueLength, type};
    std::memcpy(out.data(), header, sizeof header);
    return out;
}

std::string Text(const std::string& key, const std::string& text) {
    return Node(key, Utf16(text), static_cast<WORD>(text.size() + 1), 1);
}

std::string Translations(const std::vector<std::pair<WORD, WORD>>& entries) {
    std::string value;
    for (auto [language, codePage] : entries) {
        value.append(reinterpret_cast<const char*>(&language), 2);
        value.append(reinterpret_cast<const char*>(&codePage), 2);
    }
    return Node("VarFileInfo", "", 0, 1,
                {Node("Translation", value, static_cast<WORD>(value.size()), 0)});
}

std::string VersionInfo(const std::vector<std::string>& stringTables, const std::string& varFileInfo) {
    VS_FIXEDFILEINFO fixed{};
    fixed.dwSignature = 0xFEEF04BD;
    fixed.dwStrucVersion = 0x00010000;
    fixed.dwFileVersionMS = 0x00010000;
    const std::string fixedBytes(reinterpret_cast<const char*>(&fixed), sizeof fixed);
    return Node("VS_VERSION_INFO", fixedBytes, sizeof fixed, 0,
                {Node("StringFileInfo", "", 0, 1, stringTables), varFileInfo});
}

std::string Table(const std::string& name, const std::string& fileVersion) {
    return Node(name, "", 0, 1, {Text("ProductName", "Test"), Text("FileVersion", fileVersion)});
}

class VersionResource : public ::testing::Test {
protected:
    // A copy of a program without a version resource, given `block` as one.
    std::string ProgramWith(const std::string& block) {
        const std::string path = dir_.File("versioned" + std::to_string(++count_) + ".exe");
        std::filesystem::copy_file(testsupport::ToolProgram("uidriver"), path);
        HANDLE update = BeginUpdateResourceA(path.c_str(), FALSE);
        EXPECT_NE(update, nullptr);
        EXPECT_TRUE(UpdateResourceA(update, MAKEINTRESOURCEA(16), MAKEINTRESOURCEA(1),
                                    MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                    const_cast<char*>(block.data()), static_cast<DWORD>(block.size())));
        EXPECT_TRUE(EndUpdateResourceA(update, FALSE));
        return path;
    }
    // GetFileVersionString's result and buffer ("untouched" when it left
    // the buffer alone).
    static std::pair<bool, std::string> Read(const std::string& path, std::size_t size = 1000) {
        std::vector<char> buffer(size + 1, '\0');
        std::strcpy(buffer.data(), size >= 10 ? "untouched" : "");
        const bool ok = GetFileVersionString(path, buffer.data(), size);
        return {ok, std::string(buffer.data())};
    }

    testsupport::TempDir dir_;
    int count_ = 0;
};

TEST_F(VersionResource, TheConnectorsOwnFileVersion) {
    EXPECT_EQ(Read(testsupport::ConnectorProgram()), std::make_pair(true, std::string(VANTOR_VERSION_RC_TEXT)));
}

// The numbers and both strings of the resource all come from project(VERSION).
TEST_F(VersionResource, TheConnectorsNumbersAndProductVersionMatchTheBuildsVersion) {
    const std::string exe = testsupport::ConnectorProgram();
    DWORD ignored = 0;
    std::vector<char> block(GetFileVersionInfoSizeA(exe.c_str(), &ignored));
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    const DWORD ms = MAKELONG(VANTOR_VERSION_MINOR, VANTOR_VERSION_MAJOR);
    const DWORD ls = MAKELONG(VANTOR_VERSION_TWEAK, VANTOR_VERSION_PATCH);
    EXPECT_EQ(fixed->dwFileVersionMS, ms);
    EXPECT_EQ(fixed->dwFileVersionLS, ls);
    EXPECT_EQ(fixed->dwProductVersionMS, ms);
    EXPECT_EQ(fixed->dwProductVersionLS, ls);
    char* product = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904E4\\ProductVersion",
                               reinterpret_cast<void**>(&product), &length));
    EXPECT_STREQ(product, VANTOR_VERSION_RC_TEXT);
}

TEST_F(VersionResource, NoVersionResourceLeavesTheBufferAlone) {
    EXPECT_EQ(Read(testsupport::ToolProgram("uidriver")), std::make_pair(false, std::string("untouched")));
    EXPECT_EQ(Read(dir_.File("missing.exe")), std::make_pair(false, std::string("untouched")));
}

TEST_F(VersionResource, ParenthesesBecomeBraces) {
    const std::string exe = ProgramWith(
        VersionInfo({Table("040904E4", "3, 1 (beta 2)")}, Translations({{0x0409, 0x04E4}})));
    EXPECT_EQ(Read(exe), std::make_pair(true, std::string("3, 1 {beta 2}")));
}

TEST_F(VersionResource, EmptyTranslationTableFindsNothing) {
    const std::string exe = ProgramWith(VersionInfo({Table("040904E4", "1, 2")}, Translations({})));
    EXPECT_EQ(Read(exe), std::make_pair(false, std::string("untouched")));
}

TEST_F(VersionResource, OnlyTheFirstTranslationIsLookedUp) {
    const std::string secondOnly =
        ProgramWith(VersionInfo({Table("040904E4", "1, 2")}, Translations({{0x0407, 0x04E4}, {0x0409, 0x04E4}})));
    EXPECT_EQ(Read(secondOnly), std::make_pair(false, std::string("untouched")));
    const std::string first = ProgramWith(VersionInfo(
        {Table("040904E4", "1, 2"), Table("040704E4", "7, 7")}, Translations({{0x0407, 0x04E4}, {0x0409, 0x04E4}})));
    EXPECT_EQ(Read(first), std::make_pair(true, std::string("7, 7")));
}

TEST_F(VersionResource, LongFileVersionIsCutToTheBuffer) {
    const std::string exe =
        ProgramWith(VersionInfo({Table("040904E4", std::string(1500, '9'))}, Translations({{0x0409, 0x04E4}})));
    EXPECT_EQ(Read(exe), std::make_pair(true, std::string(999, '9')));
    EXPECT_EQ(Read(exe, 4), std::make_pair(true, std::string("999")));
}

}  // namespace
