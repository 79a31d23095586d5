// UI driver: drives the dialogs of a running program (the real vantor.exe)
// through window messages, one command per run, for scripts and for a person
// at a Wine prompt. The dialog tests use the same code (ui_automation.h)
// from their own process.
//
//   uidriver wait CAPTION [TIMEOUT_MS]      wait until a dialog with that caption is visible
//   uidriver controls CAPTION               the control table, one control a line (see below)
//   uidriver text CAPTION ID                the text of one control
//   uidriver check CAPTION ID               0 unchecked, 1 checked, 2 indeterminate
//   uidriver combo CAPTION ID               the selected index and text, then the items
//   uidriver list CAPTION ID                list-view columns (title, width), then the rows
//   uidriver click CAPTION ID               a real button click (radio, check box)
//   uidriver press CAPTION ID               posts the button's command (OK, Cancel, About, Yes, No)
//   uidriver type CAPTION ID TEXT           replaces an edit's text
//   uidriver select CAPTION ID INDEX        selects a drop-down list item
//   uidriver syscommand CAPTION NUMBER      posts WM_SYSCOMMAND (16: the About entry)
//   uidriver menukey CAPTION KEY...         opens the system menu by keyboard and presses the
//                                           keys: up, down, return or a character
//   uidriver message CAPTION                the text of a message box
//   uidriver send CAPTION MSG [WP [LP]]     sends a message to the dialog, prints its result
//   uidriver dlu X Y W H                    dialog units of "MS Shell Dlg" 8 pt in pixels
//   uidriver screenshot CAPTION FILE.png    the window with its frame, as PNG
//   uidriver answer CAPTION ID              answers a message box (6 Yes, 7 No, 1 OK), waits till gone
//   uidriver shoot PROGRAM FOLDER           starts PROGRAM without arguments, answers a host-file
//                                           question with No, saves FOLDER\dialog.png and
//                                           FOLDER\about.png, closes both with Cancel and OK.
//                                           Run it inside "explorer /desktop=NAME,WxH" to get
//                                           captions drawn without a window manager.
//   uidriver shootjobs PROGRAM FOLDER       starts PROGRAM /JOBS, saves its recent jobs window as
//                                           FOLDER\jobs.png and closes it (as "shoot")
//   uidriver shootprogress PROGRAM FOLDER ARGS  starts PROGRAM ARGS (a job), saves its progress
//                                           window two seconds after it appears as
//                                           FOLDER\progress.png and presses Stop
//
// The control table lists, tab-separated: index, ID, class, style and
// extended style (hex), enabled, visible, check state (buttons) or -1,
// x, y, width, height in the dialog's client pixels, and the text.
// Exit status: 0 done, 1 window or control not found, 2 bad usage.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/win32/ui_automation.h"

namespace {

constexpr int kDefaultWaitMs = 10000;
// The first window of a program started inside a new virtual desktop: in a
// Wine prefix that has never shown one, setting the desktop up takes seconds.
constexpr int kFirstWindowWaitMs = 60000;

int Usage() {
    std::fprintf(stderr,
                 "usage: uidriver wait|controls|text|check|combo|list|click|press|type|select|"
                 "syscommand|menukey|message|screenshot|answer CAPTION [ARGS]\n"
                 "       uidriver shoot|shootjobs PROGRAM FOLDER\n"
                 "       uidriver shootprogress PROGRAM FOLDER ARGS\n"
                 "       uidriver dlu X Y W H\n");
    return 2;
}

HWND Dialog(const char* caption, int timeoutMs = kDefaultWaitMs) {
    HWND dialog = uiauto::WaitForDialog(0, caption, timeoutMs);
    if (dialog == nullptr) std::fprintf(stderr, "uidriver: no dialog \"%s\"\n", caption);
    return dialog;
}

HWND Control(HWND dialog, const char* id) {
    HWND control = GetDlgItem(dialog, std::atoi(id));
    if (control == nullptr) std::fprintf(stderr, "uidriver: no control %s\n", id);
    return control;
}

}  // namespace

// Starts `program` with `arguments` after its quoted name; says so when it cannot.
static bool StartProgram(const std::string& program, const std::string& arguments, PROCESS_INFORMATION& process) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    process = PROCESS_INFORMATION{};
    std::string commandLine = "\"" + program + "\"" + arguments;
    if (CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &process))
        return true;
    std::fprintf(stderr, "uidriver: cannot start %s\n", program.c_str());
    return false;
}

// Waits for a program started by StartProgram to end (ends it when it does
// not) and closes its handles; `status`, or 1 when it had to be ended.
static int EndProgram(PROCESS_INFORMATION& process, int status) {
    if (WaitForSingleObject(process.hProcess, kDefaultWaitMs) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 3);
        WaitForSingleObject(process.hProcess, kDefaultWaitMs);
        status = 1;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return status;
}

// The "shoot" command: both dialogs of a fresh configuration-mode run as PNG.
int Shoot(const std::string& program, const std::string& folder) {
    PROCESS_INFORMATION process;
    if (!StartProgram(program, "", process)) return 1;
    const char* caption = "Priority - Tarvel Connector";
    int status = 1;
    HWND dialog = nullptr;
    uiauto::WaitFor(
        [&] {
            for (HWND w : uiauto::TopLevelWindows(process.dwProcessId, "#32770", caption)) {
                if (!IsWindowVisible(w)) continue;
                if (uiauto::HasButton(w, IDNO)) {
                    uiauto::Answer(w, IDNO);  // the host-file question
                    continue;
                }
                dialog = w;
                return true;
            }
            return false;
        },
        kFirstWindowWaitMs);
    if (dialog != nullptr) {
        Sleep(300);  // let it paint
        bool ok = uiauto::SaveScreenshot(dialog, folder + "\\dialog.png");
        uiauto::PostClick(dialog, 3);  // About
        HWND about = uiauto::WaitForDialog(process.dwProcessId, "About Vantor", kDefaultWaitMs);
        if (about != nullptr) {
            Sleep(300);
            ok = uiauto::SaveScreenshot(about, folder + "\\about.png") && ok;
            uiauto::Answer(about, IDOK);
        } else {
            ok = false;
        }
        uiauto::PostClick(dialog, IDCANCEL);
        status = ok ? 0 : 1;
    }
    return EndProgram(process, status);
}

// The "shootjobs" command: the recent jobs window of a fresh /JOBS run as PNG.
int ShootJobs(const std::string& program, const std::string& folder) {
    PROCESS_INFORMATION process;
    if (!StartProgram(program, " /JOBS", process)) return 1;
    int status = 1;
    HWND window = uiauto::WaitForDialog(process.dwProcessId,
                                        "Recent jobs - Priority - Tarvel Connector", kFirstWindowWaitMs);
    if (window != nullptr) {
        Sleep(300);  // let it paint
        status = uiauto::SaveScreenshot(window, folder + "\\jobs.png") ? 0 : 1;
        uiauto::PostClick(window, IDCANCEL);
    }
    return EndProgram(process, status);
}

// The "shootprogress" command: the progress window of a running job as PNG.
int ShootProgress(const std::string& program, const std::string& folder, const std::string& arguments) {
    PROCESS_INFORMATION process;
    if (!StartProgram(program, " " + arguments, process)) return 1;
    int status = 1;
    HWND window = uiauto::WaitForDialog(process.dwProcessId, "Printing labels - Priority - Tarvel Connector",
                                        kFirstWindowWaitMs);
    if (window != nullptr) {
        Sleep(2000);  // a line or so later: a line done, and an estimate of the time left
        status = uiauto::SaveScreenshot(window, folder + "\\progress.png") ? 0 : 1;
        uiauto::PostClick(window, IDCANCEL);  // Stop: the job ends after its running line
    }
    return EndProgram(process, status);
}

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const std::string command = argv[1];

    if (command == "dlu") {
        if (argc != 6) return Usage();
        RECT r = uiauto::DialogUnitsToPixels(std::atoi(argv[2]), std::atoi(argv[3]),
                                             std::atoi(argv[4]), std::atoi(argv[5]));
        std::printf("%ld\t%ld\t%ld\t%ld\n", r.left, r.top, r.right, r.bottom);
        return 0;
    }
    if (argc < 3) return Usage();
    const char* caption = argv[2];
    if (command == "shoot") return argc == 4 ? Shoot(argv[2], argv[3]) : Usage();
    if (command == "shootjobs") return argc == 4 ? ShootJobs(argv[2], argv[3]) : Usage();
    if (command == "shootprogress") return argc == 5 ? ShootProgress(argv[2], argv[3], argv[4]) : Usage();

    if (command == "wait") {
        HWND dialog = Dialog(caption, argc > 3 ? std::atoi(argv[3]) : kDefaultWaitMs);
        if (dialog == nullptr) return 1;
        std::printf("%p\n", static_cast<void*>(dialog));
        return 0;
    }

    HWND dialog = Dialog(caption);
    if (dialog == nullptr) return 1;

    if (command == "controls") {
        int index = 0;
        for (const uiauto::ControlInfo& c : uiauto::Controls(dialog)) {
            const int check = c.className == "Button" ? uiauto::CheckState(c.hwnd) : -1;
            std::printf("%d\t%d\t%s\t%08lX\t%08lX\t%d\t%d\t%d\t%ld\t%ld\t%ld\t%ld\t%s\n", ++index,
                        c.id, c.className.c_str(), c.style, c.exStyle, c.enabled, c.visible, check,
                        c.rect.left, c.rect.top, c.rect.right - c.rect.left,
                        c.rect.bottom - c.rect.top, c.text.c_str());
        }
        return 0;
    }
    if (command == "send") {  // uidriver send CAPTION MESSAGE [WPARAM [LPARAM]]: prints the result
        if (argc < 4) return Usage();
        const UINT message = static_cast<UINT>(std::strtoul(argv[3], nullptr, 0));
        const WPARAM wParam = argc > 4 ? std::strtoul(argv[4], nullptr, 0) : 0;
        const LPARAM lParam = argc > 5 ? std::strtol(argv[5], nullptr, 0) : 0;
        DWORD_PTR result = 0;
        const LRESULT sent = SendMessageTimeoutA(dialog, message, wParam, lParam, SMTO_ABORTIFHUNG,
                                                 uiauto::kMessageTimeoutMs, &result);
        std::printf("%s %lu\n", sent ? "result" : "failed", static_cast<unsigned long>(result));
        return sent ? 0 : 1;
    }
    if (command == "message") {
        std::printf("%s\n", uiauto::MessageBoxText(dialog).c_str());
        return 0;
    }
    if (command == "screenshot") {
        if (argc != 4) return Usage();
        return uiauto::SaveScreenshot(dialog, argv[3]) ? 0 : 1;
    }
    if (command == "syscommand") {
        if (argc != 4) return Usage();
        uiauto::PostSysCommand(dialog, static_cast<WPARAM>(std::strtoul(argv[3], nullptr, 0)));
        return 0;
    }
    if (command == "menukey") {
        if (argc < 4) return Usage();
        uiauto::PostSysCommand(dialog, SC_KEYMENU, ' ');
        auto menuOpen = [&] {
            for (HWND menu : uiauto::TopLevelWindows(uiauto::ProcessOf(dialog), "#32768", nullptr))
                if (IsWindowVisible(menu)) return true;
            return false;
        };
        if (!uiauto::WaitFor(menuOpen, kDefaultWaitMs)) return 1;
        // Each further argument is a key: "up", "down", "return" or a character.
        for (int i = 3; i < argc; ++i) {
            const std::string key = argv[i];
            if (key == "up" || key == "down" || key == "return") {
                const WPARAM vk = key == "up" ? VK_UP : key == "down" ? VK_DOWN : VK_RETURN;
                PostMessageA(dialog, WM_KEYDOWN, vk, 0);
            } else {
                PostMessageA(dialog, WM_CHAR, static_cast<unsigned char>(key[0]), 0);
            }
            Sleep(100);
        }
        return 0;
    }

    if (argc < 4) return Usage();
    HWND control = Control(dialog, argv[3]);
    if (control == nullptr) return 1;
    const int id = std::atoi(argv[3]);

    if (command == "text") {
        std::printf("%s\n", uiauto::WindowText(control).c_str());
    } else if (command == "check") {
        std::printf("%d\n", uiauto::CheckState(control));
    } else if (command == "combo") {
        const uiauto::ComboState combo = uiauto::Combo(control);
        std::printf("%d\t%s\n", combo.selected, combo.selectedText.c_str());
        for (const std::string& item : combo.items) std::printf("%s\n", item.c_str());
    } else if (command == "list") {
        const uiauto::ListViewState list = uiauto::ListView(control);
        for (const uiauto::ListColumn& column : list.columns)
            std::printf("%s\t%d\n", column.title.c_str(), column.width);
        for (const auto& row : list.rows) {
            for (std::size_t i = 0; i < row.size(); ++i)
                std::printf("%s%s", i ? "\t" : "", row[i].c_str());
            std::printf("\n");
        }
    } else if (command == "click") {
        uiauto::Click(dialog, id);
    } else if (command == "answer") {
        return uiauto::Answer(dialog, id) ? 0 : 1;
    } else if (command == "press") {
        uiauto::PostClick(dialog, id);
    } else if (command == "type") {
        if (argc != 5) return Usage();
        uiauto::Type(dialog, id, argv[4]);
    } else if (command == "select") {
        if (argc != 5) return Usage();
        uiauto::SelectIndex(dialog, id, std::atoi(argv[4]));
    } else {
        return Usage();
    }
    return 0;
}
