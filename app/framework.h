// A small application framework: the part of an application class that the
// connector relies on, in place of a large vendor framework.
//
// The framework fixes, before InitInstance runs, the executable's full path
// and the command-line text (the process command line with the program name
// and the blanks after it removed). An application derives from CAppBase and
// overrides InitInstance; RunApplication runs it once and gives the process
// exit code.
#pragma once

#include <string>
#include <string_view>

#include "app/text.h"
#include "platform/platform.h"

class CAppBase {
public:
    // `exePath` is the running executable's full path, `commandLineText` the
    // text after the program name (see CommandLineText below), `interaction`
    // the boxes a person answers.
    CAppBase(std::string exePath, std::string commandLineText, platform::Interaction& interaction);
    virtual ~CAppBase();

    CAppBase(const CAppBase&) = delete;
    CAppBase& operator=(const CAppBase&) = delete;

    // Called once by RunApplication. Returning false ends the application
    // without a message loop.
    virtual bool InitInstance() = 0;

    const std::string& ExePath() const { return exePath_; }
    // The executable's path with its extension replaced by ".HLP" (the base
    // from which other files beside the executable are named).
    const std::string& HelpFilePath() const { return helpFilePath_; }
    // The file beside the executable named after it with `extension` in place
    // of its own (whose letter case wins): everything before the last "." of
    // the help-file path, then `extension`.
    std::string PathWithExtension(std::string_view extension) const;
    // The application's profile (settings) file: PathWithExtension(".ini"),
    // formed once, when the object is made.
    const std::string& ProfilePath() const { return profilePath_; }
    const std::string& CommandLineText() const { return commandLineText_; }
    platform::Interaction& Interaction() const { return interaction_; }

private:
    std::string exePath_;
    std::string helpFilePath_;
    std::string profilePath_;
    std::string commandLineText_;
    platform::Interaction& interaction_;
};

// The longest executable path the framework accepts: a path must fit a
// 260-byte buffer with its terminator.
inline constexpr std::size_t kMaxExePath = 259;

// The command-line text of a raw process command line: the program name ends
// at the first byte of code 0x20 or less outside a double-quoted run (a double
// quote toggles the run; a double-byte character is taken whole); every byte
// of code 0x20 or less after it is skipped; the rest is kept byte for byte,
// trailing blanks included.
std::string CommandLineText(std::string_view rawCommandLine,
                            text::LeadByteRule isLead = text::SystemLeadByte);

// `exePath` without the extension of its file name, followed by ".HLP".
std::string HelpFilePathOf(std::string_view exePath);

// Runs `app`: calls InitInstance once. Returns the process exit code, 0.
int RunApplication(CAppBase& app);
