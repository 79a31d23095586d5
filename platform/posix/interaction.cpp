// The boxes a person answers, on POSIX: a terminal stands in for them.
// Messages go to standard error; answers are read as one line from standard
// input, so a job started without a terminal never waits: end of input is
// "No" and "cancel".
#include <cstdio>
#include <iostream>
#include <string>

#include "platform/platform.h"

namespace platform {

namespace {

std::string ReadAnswerLine() {
    std::string line;
    if (!std::getline(std::cin, line)) return std::string();
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

class TerminalInteraction final : public Interaction {
public:
    void ShowMessage(const std::string& text, const std::string& caption) override {
        std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
    }
    bool AskYesNo(void*, const std::string& text, const std::string& caption) override {
        std::fprintf(stderr, "[%s] %s [y/N] ", caption.c_str(), text.c_str());
        std::string answer = ReadAnswerLine();
        return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
    }
    // The terminal's text is UTF-8, as the ANSI text here.
    bool AskYesNoUnicode(void* owner, const std::string& text, const std::string& caption) override {
        return AskYesNo(owner, text, caption);
    }
    void ShowWarningUnicode(void*, const std::string& text, const std::string& caption) override {
        ShowMessage(text, caption);
    }
    std::string AskPrinter() override {
        std::fprintf(stderr, "Printer name (empty to cancel): ");
        return ReadAnswerLine();
    }
};

}  // namespace

Interaction& SystemInteraction() {
    static TerminalInteraction interaction;
    return interaction;
}

}  // namespace platform
