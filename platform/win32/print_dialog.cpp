// The common print dialog for the manual printer policy.
#include <windows.h>
#include <commdlg.h>

#include <string>

namespace platform {

// Shows the print dialog on the system's default printer and returns the
// chosen device name; "" when it was cancelled or failed.
std::string AskPrinterWithDialog() {
    PRINTDLGA dialog{};
    // The record the system expects: 66 bytes in the 32-bit product (packed),
    // 120 in the 64-bit test build.
    static_assert(sizeof(PRINTDLGA) == (sizeof(void*) == 4 ? 66 : 120), "PRINTDLGA has the system's size");
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = nullptr;
    dialog.Flags = PD_RETURNDC | PD_USEDEVMODECOPIESANDCOLLATE;
    dialog.nFromPage = 0xFFFF;
    dialog.nToPage = 0xFFFF;
    dialog.nMinPage = 1;
    dialog.nMaxPage = 0xFFFF;
    dialog.nCopies = 1;
    if (PrintDlgA(&dialog) != 1) return std::string();

    std::string device;
    if (dialog.hDevNames) {
        auto* names = static_cast<const DEVNAMES*>(GlobalLock(dialog.hDevNames));
        if (names) {
            device = reinterpret_cast<const char*>(names) + names->wDeviceOffset;
            GlobalUnlock(dialog.hDevNames);
        }
    }
    if (dialog.hDC) DeleteDC(dialog.hDC);
    // The dialog's memory blocks are ours to free.
    if (dialog.hDevMode) GlobalFree(dialog.hDevMode);
    if (dialog.hDevNames) GlobalFree(dialog.hDevNames);
    return device;
}

}  // namespace platform
