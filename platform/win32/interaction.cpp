// The boxes a person answers, on Win32: the real message boxes. The print
// dialog is in print_dialog.cpp.
#include <windows.h>

#include "platform/platform.h"

namespace platform {

std::string AskPrinterWithDialog();          // print_dialog.cpp
std::wstring WideCommandLine(std::string_view utf8);  // text.cpp: UTF-8 to UTF-16

namespace {

class Win32Interaction final : public Interaction {
public:
    void ShowMessage(const std::string& text, const std::string& caption) override {
        MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK);
    }
    void ShowWarning(void* owner, const std::string& text, const std::string& caption) override {
        MessageBoxA(static_cast<HWND>(owner), text.c_str(), caption.c_str(), MB_OK | MB_ICONEXCLAMATION);
    }
    bool AskYesNo(void* owner, const std::string& text, const std::string& caption) override {
        return MessageBoxA(static_cast<HWND>(owner), text.c_str(), caption.c_str(),
                           MB_YESNO | MB_ICONQUESTION) == IDYES;
    }
    bool AskYesNoUnicode(void* owner, const std::string& text, const std::string& caption) override {
        return MessageBoxW(static_cast<HWND>(owner), WideCommandLine(text).c_str(),
                           WideCommandLine(caption).c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
    }
    void ShowWarningUnicode(void* owner, const std::string& text, const std::string& caption) override {
        MessageBoxW(static_cast<HWND>(owner), WideCommandLine(text).c_str(), WideCommandLine(caption).c_str(),
                    MB_OK | MB_ICONEXCLAMATION);
    }
    std::string AskPrinter() override { return AskPrinterWithDialog(); }
};

}  // namespace

Interaction& SystemInteraction() {
    static Win32Interaction interaction;
    return interaction;
}

}  // namespace platform
