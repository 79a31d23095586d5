// Small things many tests need: a quoted text, the lead-byte rules of two
// code pages, and a person who answers nothing.
#pragma once

#include <string>

#include "platform/platform.h"

namespace testsupport {

inline std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// Lead-byte rules for the byte-string helpers: a code page without double-byte
// characters (UTF-8 and the Western ones), and Shift-JIS (code page 932),
// whose trail bytes include the ASCII backslash, dot and letters.
inline bool NoLeadBytes(unsigned char) { return false; }
inline bool ShiftJisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Nobody at the screen: shows nothing, answers No, cancels the print dialog.
// Tests that need an answer derive from it.
class NobodyThere : public platform::Interaction {
public:
    void ShowMessage(const std::string&, const std::string&) override {}
    bool AskYesNo(void*, const std::string&, const std::string&) override { return false; }
    bool AskYesNoUnicode(void*, const std::string&, const std::string&) override { return false; }
    void ShowWarningUnicode(void*, const std::string&, const std::string&) override {}
    std::string AskPrinter() override { return std::string(); }
};

}  // namespace testsupport
