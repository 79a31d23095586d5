// The health check's runners: which ones the run mode starts, and whether
// each program is there and is one this machine can start. Also the reading
// of a program file's first bytes.
#include <cstdint>
#include <cstdio>
#include <string>

#include "app/check_context.h"
#include "job/data_reader.h"
#include "launch/launch.h"
#include "launch/product_run.h"
#include "platform/framework.h"
#include "platform/platform.h"
#include "settings/catalogue.h"

namespace health {

namespace {

bool EndsWithIgnoreCase(std::string_view text, std::string_view end) {
    if (text.size() < end.size()) return false;
    for (std::size_t i = 0; i < end.size(); ++i) {
        char c = text[text.size() - end.size() + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != end[i]) return false;
    }
    return true;
}

// The connector's own program format: the machine its programs are for.
ProgramFormat OwnFormat(const CAppBase& app) {
    const platform::FileReadResult head = platform::ReadFileShared(app.ExePath(), 4096);
    return head.opened ? ProgramFormatOf(head.bytes) : ProgramFormat{};
}

// Whether this machine can start `program`, whose first bytes read as
// `format`: Ok, or Warn or Fail with `why` (to follow the program's name)
// and `todo` (what to do, before "or correct the setting").
Verdict Startable(const CheckContext& c, const std::string& program, const ProgramFormat& format, std::string& why,
                  std::string& todo) {
    todo = "Install the program built for this machine there";
    if (platform::StartsWindowsPrograms()) {
        // CreateProcess runs a batch file through cmd.exe.
        if (EndsWithIgnoreCase(program, ".bat") || EndsWithIgnoreCase(program, ".cmd")) return Verdict::Ok;
        if (!format.windows) {
            why = "is no Windows program (" + format.name + ")";
            todo = "Install the program itself there";
            return Verdict::Fail;
        }
        if (format.machine == 0) return Verdict::Ok;  // a header cut short: starting it tells
        const platform::MachineSupport support = platform::WindowsMachineSupport(format.machine);
        if (support.runs) return Verdict::Ok;
        why = "is a Windows program built for " + MachineName(format.machine, false) +
              " processors, and this machine (" + MachineName(support.native, false) +
              ") cannot run it: Windows refuses to start it (error 216 or 193)";
        return Verdict::Fail;
    }
    if (const platform::SystemError execute = platform::TryMayExecute(program); execute.failed()) {
        why = "cannot be started by this user (" + execute.text + ")";
        todo = "Give the users who print the right to execute it (chmod a+rx)";
        return Verdict::Fail;
    }
    if (format.elf) {
        const ProgramFormat own = OwnFormat(c.app);
        if (!own.elf || own.machine == 0 || format.machine == own.machine) return Verdict::Ok;
        why = "is an ELF program for " + MachineName(format.machine, true) + " processors, and this connector is one for " +
              MachineName(own.machine, true);
        // A 32-bit x86 program on x86-64 runs where the system has its 32-bit support.
        return format.machine == 3 && own.machine == 62 ? Verdict::Warn : Verdict::Fail;
    }
    if (!format.interpreter.empty()) {
        const platform::PathState interpreter = platform::InspectPath(format.interpreter);
        if (interpreter.kind == platform::PathKind::File && !platform::TryMayExecute(format.interpreter).failed())
            return Verdict::Ok;
        why = "is a script whose interpreter line names " + format.interpreter +
              ", which does not exist or cannot be started";
        todo = "Install that interpreter, or correct the script's first line";
        return Verdict::Fail;
    }
    why = "is neither a program for this machine nor a script with an interpreter line (\"#!\"): " + format.name;
    todo = "Start the script with its interpreter line (#!/bin/sh), or install the program itself there";
    return Verdict::Fail;
}

// One program a runner starts: `commandLine` as the job starts it, from the
// setting `key` ("" for the label program beside the connector).
void Program(CheckContext& c, const char* check, const std::string& commandLine, const std::string& from,
             const char* key) {
    // The label program has no setting: it is always the one beside the connector.
    const std::string fix = key ? c.Correct(key) : std::string();
    const std::string orFix = key ? ", or " + fix : std::string();
    std::string program = ProgramOfCommandLine(commandLine);
    if (program.empty()) {
        c.Add(Verdict::Fail, check, from + " is empty, but the run mode starts this runner. Enter its program: " + fix + ".");
        return;
    }
    // CreateProcess adds ".exe" to a file name without an extension.
    if (platform::StartsWindowsPrograms()) {
        const std::string name = program.substr(launch::FolderOf(program, '\\').size());
        if (name.find('.') == std::string::npos) program += ".exe";
    }
    if (!platform::IsAbsolutePath(program)) {
        c.Add(Verdict::Warn, check,
              program + " (" + from + ") is not a full path: the system searches for it in several "
              "folders, so which program starts depends on the machine. Enter its full path: " + fix + ".");
        return;
    }
    const platform::PathState state = platform::InspectPath(program);
    if (state.kind == platform::PathKind::Missing) {
        c.Add(Verdict::Fail, check,
              program + " (" + from + ") does not exist (" + state.error.text + "). Install it there" + orFix + ".");
        return;
    }
    if (state.kind != platform::PathKind::File) {
        c.Add(Verdict::Fail, check, program + " (" + from + ") is not a file. Put the program there" + orFix + ".");
        return;
    }
    const platform::FileReadResult head = platform::ReadFileShared(program, 4096);
    if (!head.opened) {
        c.Add(Verdict::Fail, check,
              program + " (" + from + ") cannot be read: " + job::OpenFailureDescription(program, head.cause));
        return;
    }
    const ProgramFormat format = ProgramFormatOf(head.bytes);
    std::string why, todo;
    const Verdict verdict = Startable(c, program, format, why, todo);
    if (verdict != Verdict::Ok) {
        c.Add(verdict, check, program + " (" + from + ") " + why + ". " + todo + orFix + ".");
        return;
    }
    const std::string version = platform::FileVersionOf(program);
    c.Add(Verdict::Ok, check,
          program + " (" + from + "): " + format.name +
              (version.empty() ? std::string(", no file version") : ", file version " + version) + ".");
}

}  // namespace

void CheckRunners(CheckContext& c) {
    const int mode = c.Int(key::kRunApiType);
    std::string templatePath = launch::TemplatePath(c.app, c.templateName);
    launch::RunMode run = launch::RunModeFor(mode, templatePath);
    if (static_cast<RunApiType>(mode) == RunApiType::kProxyOnZuvezavi && !c.hasTemplate)
        run = {true, true};  // without a template, either may run
    c.Add(Verdict::Ok, "run-mode",
          Setting(section::kSettings, key::kRunApiType) + "=" + std::to_string(mode) + " (" +
              c.SourceOf(key::kRunApiType) + "): " +
              (run.proxy && run.product ? "the API proxy and the product"
               : run.proxy              ? "the API proxy alone"
                                        : "the product") +
              (c.hasTemplate ? " for this template." : "."));
    if (run.proxy) Program(c, "api-proxy", c.Text(key::kApiProxyExe), c.Named(key::kApiProxyExe), key::kApiProxyExe);
    if (!run.product) return;
    const std::string bartender = c.Text(key::kBartenderExePath);
    if (!bartender.empty())
        Program(c, "bartender", bartender, c.Named(key::kBartenderExePath), key::kBartenderExePath);
    else
        Program(c, "label-program", "\"" + launch::ConnectorFolder(c.app) + launch::kLabelProgram + "\"",
                "beside the connector, " + c.Named(key::kBartenderExePath) + " empty", nullptr);
}

std::string MachineName(uint16_t machine, bool elf) {
    if (elf) {
        switch (machine) {
        case 3: return "x86";
        case 62: return "x86-64";
        case 40: return "ARM (32-bit)";
        case 183: return "ARM64";
        case 243: return "RISC-V";
        case 21: return "PowerPC 64";
        case 22: return "IBM Z";
        default: return "machine " + std::to_string(machine);
        }
    }
    switch (machine) {
    case 0x014C: return "x86";
    case 0x8664: return "x64";
    case 0xAA64: return "ARM64";
    case 0x01C4: return "ARM (32-bit)";
    case 0x0200: return "Itanium";
    default: {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%04X", static_cast<unsigned>(machine));
        return std::string("machine ") + hex;
    }
    }
}

ProgramFormat ProgramFormatOf(std::string_view head) {
    ProgramFormat format;
    auto u16 = [&](std::size_t at, bool bigEndian = false) {
        if (at + 2 > head.size()) return 0u;
        const unsigned a = static_cast<unsigned char>(head[at]);
        const unsigned b = static_cast<unsigned char>(head[at + 1]);
        return bigEndian ? a << 8 | b : a | b << 8;
    };
    auto u32 = [&](std::size_t at) { return static_cast<uint32_t>(u16(at)) | static_cast<uint32_t>(u16(at + 2)) << 16; };
    if (head.substr(0, 2) == "MZ") {
        const uint32_t pe = u32(0x3C);
        if (pe + 26 <= head.size() && head.substr(pe, 4) == std::string_view("PE\0\0", 4)) {
            format.windows = true;
            format.machine = static_cast<uint16_t>(u16(pe + 4));
            const unsigned magic = u16(pe + 24);  // the optional header's
            format.bits = magic == 0x20B ? 64 : magic == 0x10B ? 32 : 0;
            format.name = "Windows program (" +
                          (format.bits ? std::to_string(format.bits) + "-bit, " : std::string()) +
                          MachineName(format.machine, false) + ")";
            return format;
        }
        format.name = "DOS program, not a Windows one";
        return format;
    }
    if (head.substr(0, 4) == "\x7F" "ELF") {
        format.name = "ELF program";
        // e_ident: class (1: 32-bit, 2: 64-bit) and byte order (2: big-endian); e_machine at 18.
        if (head.size() >= 20) {
            format.elf = true;
            format.bits = head[4] == 1 ? 32 : head[4] == 2 ? 64 : 0;
            format.machine = static_cast<uint16_t>(u16(18, head[5] == 2));
            format.name += " (" + (format.bits ? std::to_string(format.bits) + "-bit, " : std::string()) +
                           MachineName(format.machine, true) + ")";
        }
    } else if (head.substr(0, 2) == "#!") {
        // The interpreter line: "#!", blanks, the program, then its argument.
        std::size_t at = head.find_first_not_of(" \t", 2);
        const std::size_t end = at == std::string_view::npos ? at : head.find_first_of(" \t\r\n", at);
        if (at != std::string_view::npos) format.interpreter = std::string(head.substr(at, end - at));
        format.name = "script";
    } else {
        format.name = "unknown format";
    }
    return format;
}

std::string ProgramOfCommandLine(std::string_view commandLine) {
    if (!commandLine.empty() && commandLine.front() == '"') {
        const std::size_t end = commandLine.find('"', 1);
        return std::string(commandLine.substr(1, end == std::string_view::npos ? std::string_view::npos : end - 1));
    }
    const std::size_t end = commandLine.find_first_of(" \t");
    return std::string(commandLine.substr(0, end));
}

}  // namespace health
