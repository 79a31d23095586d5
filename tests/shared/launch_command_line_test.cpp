// The runners' command lines, the printer switch, the template path and the
// connector's folder: pure text.
#include <gtest/gtest.h>

#include "support/test_text.h"

#include <string>
#include <vector>

#include "app/health_check.h"
#include "launch/launch.h"
#include "launch/printer_match.h"
#include "launch/printer.h"
#include "launch/product_run.h"
#include "platform/platform.h"

namespace {

using launch::PrinterSwitch;
using launch::TvlCmdLine;

using testsupport::NoLeadBytes;
using testsupport::ShiftJisLead;

TEST(TvlCmdLine, TheTwoWorkedExamples) {
    const std::vector<std::string> params = {"12", "A B"};
    EXPECT_EQ(TvlCmdLine("C:\\Apps\\", "C:\\Apps\\Box.tvl", 3, PrinterSwitch("Label1"), params, 1),
              "\"C:\\Apps\\Tarvel.exe\" \"C:\\Apps\\Box.tvl\" /setpages 3 /pt \"Label1\"  /fm Param1 "
              "\"12\" /fm Param2 \"A B\"");
    EXPECT_EQ(TvlCmdLine("C:\\Apps\\", "C:\\Apps\\Box.tvl", 1, PrinterSwitch(""), params, 1),
              "\"C:\\Apps\\Tarvel.exe\" \"C:\\Apps\\Box.tvl\" /p /fm Param1 \"12\" /fm Param2 \"A B\"");
}

TEST(TvlCmdLine, CopiesSwitchOnlyAboveOne) {
    const std::vector<std::string> none;
    const std::string head = "\"F\\Tarvel.exe\" \"T.tvl\"";
    struct Case {
        int copies;
        std::string expected;
    };
    const Case cases[] = {
        {1, head + " /p"},
        {0, head + " /p"},
        {-4, head + " /p"},
        {2, head + " /setpages 2 /p"},
        {10000, head + " /setpages 10000 /p"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TvlCmdLine("F\\", "T.tvl", c.copies, " /p", none, -1), c.expected) << c.copies;
}

TEST(TvlCmdLine, ParameterPieces) {
    std::vector<std::string> params(20);
    const std::string head = "\"D\\Tarvel.exe\" \"D\\X.tvl\" /p";
    // -1: no piece at all; 0 with an empty first value: one empty piece.
    EXPECT_EQ(TvlCmdLine("D\\", "D\\X.tvl", 1, " /p", params, -1), head);
    EXPECT_EQ(TvlCmdLine("D\\", "D\\X.tvl", 1, " /p", params, 0), head + " /fm Param1 \"\"");

    // All twenty, in order, empty ones included.
    std::string expected = head;
    for (int i = 0; i < 20; ++i) {
        params[i] = i == 7 ? "" : "v" + std::to_string(i + 1);
        expected += " /fm Param" + std::to_string(i + 1) + " \"" + params[i] + "\"";
    }
    EXPECT_EQ(TvlCmdLine("D\\", "D\\X.tvl", 1, " /p", params, 19), expected);
    // An index past the list stops at its end.
    EXPECT_EQ(TvlCmdLine("D\\", "D\\X.tvl", 1, " /p", params, 25), expected);

    // Values go in unchanged: quotes, apostrophes, blanks, per cent signs.
    const std::vector<std::string> odd = {"say \"hi\"", "''x''", " %s %d ", "7\r"};
    EXPECT_EQ(TvlCmdLine("D\\", "D\\X.tvl", 1, " /p", odd, 3),
              head + " /fm Param1 \"say \"hi\"\" /fm Param2 \"''x''\" /fm Param3 \" %s %d \""
                     " /fm Param4 \"7\r\"");
}

TEST(PrinterSwitch, NamedOrDefault) {
    EXPECT_EQ(PrinterSwitch(""), " /p");
    EXPECT_EQ(PrinterSwitch("Shipping Printer"), " /pt \"Shipping Printer\" ");
    EXPECT_EQ(PrinterSwitch("\\\\srv\\Label \"2\""), " /pt \"\\\\srv\\Label \"2\"\" ");
}

TEST(BartenderCmdLine, PathBlankAndHostLineUnchanged) {
    EXPECT_EQ(launch::BartenderCmdLine("C:\\BT\\bartend.exe", "/F=C:\\t\\job.txt /D=x"),
              "C:\\BT\\bartend.exe /F=C:\\t\\job.txt /D=x");
    EXPECT_EQ(launch::BartenderCmdLine("C:\\Program Files\\BT\\bartend.exe", "  a  \"b\" "),
              "C:\\Program Files\\BT\\bartend.exe   a  \"b\" ");
}

TEST(TemplatePathOf, FolderNameAndExtension) {
    struct Case {
        const char* folder;
        const char* name;
        const char* expected;
    };
    const Case cases[] = {
        {"C:\\Labels", "Box", "C:\\Labels\\Box.tvl"},
        {"C:\\Labels\\", "Box", "C:\\Labels\\Box.tvl"},     // no doubled backslash
        {"C:/Labels/", "Box", "C:/Labels/\\Box.tvl"},       // a slash is not a backslash
        {"", "Box", "C:\\Apps\\Box.tvl"},                    // the connector's folder
        {"", "", "C:\\Apps\\.tvl"},
        {"C:\\Labels", "Box.tvl", "C:\\Labels\\Box.tvl.tvl"},
        {"C:\\Labels", "sub\\Box", "C:\\Labels\\sub\\Box.tvl"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(launch::TemplatePathOf(c.folder, "C:\\Apps\\", c.name, '\\'), c.expected)
            << c.folder << " " << c.name;
    EXPECT_EQ(launch::TemplatePathOf("/srv/labels", "/opt/v/", "Box", '/'), "/srv/labels/Box.tvl");
    EXPECT_EQ(launch::TemplatePathOf("", "/opt/v/", "Box", '/'), "/opt/v/Box.tvl");

    // In a double-byte code page a character may end in the byte 0x5C: it is
    // no backslash, so one is still appended.
    auto shiftJisLead = [](unsigned char c) {
        return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    };
    EXPECT_EQ(launch::TemplatePathOf("C:\\\x95\x5C", "", "Box", '\\', shiftJisLead),
              "C:\\\x95\x5C\\Box.tvl");
    EXPECT_EQ(launch::TemplatePathOf("C:\\\x95\x5C\\", "", "Box", '\\', shiftJisLead),
              "C:\\\x95\x5C\\Box.tvl");
}

TEST(FolderOf, CutAfterTheLastSeparator) {
    EXPECT_EQ(launch::FolderOf("C:\\Apps\\Vantor.exe", '\\', NoLeadBytes), "C:\\Apps\\");
    EXPECT_EQ(launch::FolderOf("Vantor.exe", '\\', NoLeadBytes), "");
    EXPECT_EQ(launch::FolderOf("/opt/v/vantor", '/', NoLeadBytes), "/opt/v/");
    // 0x95 0x5C is one double-byte character: its trail byte is no separator.
    EXPECT_EQ(launch::FolderOf("C:\\\x95\\v.exe", '\\', ShiftJisLead), "C:\\");
    EXPECT_EQ(launch::FolderOf("C:\\\x95\\v.exe", '\\', NoLeadBytes), "C:\\\x95\\");
}

// A terminal server's printers of one session, by the session part of their names.
TEST(PrinterMatch, SessionPartOfARedirectedPrinter) {
    EXPECT_EQ(launch::WithoutSessionPart("Zebra Dock (redirected 12)"), "Zebra Dock");
    EXPECT_EQ(launch::WithoutSessionPart("Zebra Dock (from CLIENT01) in session 3"), "Zebra Dock");
    for (const char* kept : {"Zebra Dock", "Zebra (redirected)", "Zebra (redirected x)", " (redirected 2)"})
        EXPECT_EQ(launch::WithoutSessionPart(kept), kept);
    const std::vector<std::string> listed = {"Office", "Zebra Dock (redirected 2)"};
    // Windows compares the names without regard to case; the host build exactly.
    EXPECT_EQ(launch::MatchPrinter(listed, "OFFICE").kind,
              platform::StartsWindowsPrograms() ? launch::PrinterMatch::Kind::Installed : launch::PrinterMatch::Kind::Missing);
    EXPECT_EQ(launch::MatchPrinter(listed, "Zebra Dock (redirected 5)").listed, "Zebra Dock (redirected 2)");
    EXPECT_EQ(launch::MatchPrinter(listed, "Zebra Dock").kind, launch::PrinterMatch::Kind::Redirected);
    EXPECT_EQ(launch::MatchPrinter(listed, "Office (redirected 2)").kind, launch::PrinterMatch::Kind::Missing);
}

// What the health check reads from a runner's command line and its first bytes.
TEST(HealthCheckProgram, CommandLineAndFormat) {
    EXPECT_EQ(health::ProgramOfCommandLine("\"C:\\Program Files\\Bt\\bartend.exe\" /AF"), "C:\\Program Files\\Bt\\bartend.exe");
    EXPECT_EQ(health::ProgramOfCommandLine("C:\\Api\\proxy.exe /job"), "C:\\Api\\proxy.exe");
    EXPECT_EQ(health::ProgramOfCommandLine("\"C:\\unclosed"), "C:\\unclosed");
    // An image header: "MZ", e_lfanew at 0x3C pointing at "PE\0\0", the
    // machine, and the optional header's magic 20 bytes after the machine.
    auto image = [](unsigned machine, unsigned magic) {
        std::string bytes(0x80 + 26, '\0');
        bytes[0] = 'M', bytes[1] = 'Z', bytes[0x3C] = '\x80';
        bytes.replace(0x80, 4, std::string("PE\0\0", 4));
        bytes[0x84] = static_cast<char>(machine & 0xFF), bytes[0x85] = static_cast<char>(machine >> 8);
        bytes[0x98] = static_cast<char>(magic & 0xFF), bytes[0x99] = static_cast<char>(magic >> 8);
        return bytes;
    };
    // An ELF header: class (1: 32-bit, 2: 64-bit), byte order (2: big-endian), e_machine at 18.
    auto elf = [](char elfClass, char order, unsigned machine) {
        std::string bytes = std::string("\x7F" "ELF", 4) + elfClass + order + std::string(14, '\0');
        bytes[order == 2 ? 19 : 18] = static_cast<char>(machine & 0xFF);
        bytes[order == 2 ? 18 : 19] = static_cast<char>(machine >> 8);
        return bytes;
    };
    struct Case {
        std::string head;
        bool windows;
        int bits;
        const char* name;
    };
    const std::vector<Case> cases = {
        {image(0x14C, 0x10B), true, 32, "Windows program (32-bit, x86)"},
        {image(0x8664, 0x20B), true, 64, "Windows program (64-bit, x64)"},
        {image(0xAA64, 0x20B), true, 64, "Windows program (64-bit, ARM64)"},
        {image(0x8664, 0x20B).substr(0, 0x90), false, 0, "DOS program, not a Windows one"},  // cut short
        {"MZ", false, 0, "DOS program, not a Windows one"},
        {"\x7F" "ELF\x01", false, 0, "ELF program"},  // too short to name its machine
        {elf(2, 1, 62), false, 64, "ELF program (64-bit, x86-64)"},
        {elf(1, 1, 3), false, 32, "ELF program (32-bit, x86)"},
        {elf(2, 2, 22), false, 64, "ELF program (64-bit, IBM Z)"},  // big-endian
        {"#!/bin/sh\n", false, 0, "script"},
        {"", false, 0, "unknown format"},
    };
    for (const Case& c : cases) {
        const health::ProgramFormat format = health::ProgramFormatOf(c.head);
        EXPECT_EQ(format.windows, c.windows) << c.name;
        EXPECT_EQ(format.bits, c.bits) << c.name;
        EXPECT_EQ(format.name, c.name);
    }
    // A script names its interpreter; the machine is kept for the check.
    EXPECT_EQ(health::ProgramFormatOf("#! /usr/bin/env python3\n").interpreter, "/usr/bin/env");
    EXPECT_EQ(health::ProgramFormatOf(image(0xAA64, 0x20B)).machine, 0xAA64);
}

}  // namespace
