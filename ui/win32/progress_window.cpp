// The progress of a long job on Windows: a modeless Unicode dialog (template
// 104) that the job's own thread keeps up to date. It is made hidden when a
// job of more than one line starts and shown without activation once the job
// has run kProgressDelayMs with lines left, so it never takes the focus from
// the host's window; it is destroyed when the job ends.
//
// One thread: while a label program runs, the runner's wait wakes for every
// message of this thread and calls WhileRunning, which answers them here
// (7-Zip's progress dialog polls its stop flag the same way; here the job
// polls StopRequested before each line). Stop (the button, Escape or Alt+F4
// once the window has the focus, the close box) only sets that flag: the
// running label program is never ended by it. If that line outlasts
// kEndNowAfterMs after Stop, "End it now" appears, which ends the runner's
// process tree as the time-out does.
#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <string>

#include "platform/platform.h"
#include "res/resource.h"
#include "ui/progress.h"
#include "ui/progress_view.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr UINT_PTR kTimer = 1;
constexpr UINT kTimerMs = 250;

long long MsSince(Clock::time_point from) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - from).count();
}

std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

class WindowProgress final : public JobProgress {
public:
    ~WindowProgress() override { Close(); }

    void JobStarted(const JobStart& start) override {
        started_ = lineStarted_ = Clock::now();
        state_.lines = start.lineCount;
        if (start.lineCount <= 1) return;  // a one-line job never shows it
        hwnd_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PROGRESS), nullptr,
                                   DialogProc, reinterpret_cast<LPARAM>(this));
        if (hwnd_ == nullptr) return;  // no window: the job runs as it would without one
        SetDlgItemTextW(hwnd_, IDC_PROGRESS_TEMPLATE, Wide(platform::AnsiToUtf16(start.templateName)).c_str());
        SetDlgItemTextW(hwnd_, IDC_PROGRESS_DATAFILE, Wide(platform::AnsiToUtf16(start.dataFile)).c_str());
        SendDlgItemMessageW(hwnd_, IDC_PROGRESS_BAR, PBM_SETRANGE32, 0, start.lineCount);
        SetTimer(hwnd_, kTimer, kTimerMs, nullptr);
        Update();
    }

    void LineFinished(const LineDone& line) override {
        state_.done = line.line;
        state_.doneMs = MsSince(started_);
        lineStarted_ = Clock::now();
        Update();
        Pump();
    }

    void JobEnded(const JobEnd&) override { Close(); }

    bool StopRequested() override {
        Pump();
        return state_.stopping;
    }

    bool WhileRunning() override {
        Pump();
        return endNow_;
    }

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG) {
            SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
            return FALSE;  // no focus set: that would activate the window
        }
        auto* self = reinterpret_cast<WindowProgress*>(GetWindowLongPtrW(hwnd, DWLP_USER));
        if (self == nullptr) return FALSE;
        switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == IDCANCEL) self->Stop();
            else if (LOWORD(wParam) == IDC_PROGRESS_END_NOW && HIWORD(wParam) == BN_CLICKED) self->endNow_ = true;
            return TRUE;  // IDOK (Enter) does nothing
        case WM_CLOSE:  // the close box, Alt+F4
            self->Stop();
            return TRUE;
        case WM_TIMER:
            if (wParam == kTimer) self->Update();
            return TRUE;
        default:
            return FALSE;
        }
    }

    // Answers every message waiting for this thread: the window's, and any
    // other window's of this thread (a print dialog's while it is up).
    void Pump() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));  // for whoever runs a loop after us
                return;
            }
            if (hwnd_ != nullptr && IsDialogMessageW(hwnd_, &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

    void Stop() {
        if (state_.stopping) return;
        state_.stopping = true;
        stoppedAt_ = Clock::now();
        if (hwnd_ != nullptr) EnableWindow(GetDlgItem(hwnd_, IDCANCEL), FALSE);
        Update();
    }

    void SetText(int id, const std::string& text, std::string& shown) {
        if (text == shown) return;  // no flicker
        shown = text;
        SetDlgItemTextA(hwnd_, id, text.c_str());  // ASCII
    }

    void Update() {
        if (hwnd_ == nullptr) return;
        state_.elapsedMs = MsSince(started_);
        state_.lineElapsedMs = MsSince(lineStarted_);
        SetText(IDC_PROGRESS_LABEL, ui::LabelText(state_), labelText_);
        SetText(IDC_PROGRESS_TIME, ui::TimeText(state_), timeText_);
        SendDlgItemMessageW(hwnd_, IDC_PROGRESS_BAR, PBM_SETPOS, static_cast<WPARAM>(state_.done), 0);
        if (!shown_ && ui::ProgressShows(state_)) {
            shown_ = true;
            // Above the other programs' windows, but the host's keeps the
            // focus; below a window of ours that is up (the print dialog of
            // Printer=Manual waiting for an answer).
            SetWindowPos(hwnd_, LowestOtherWindowOfThisThread(), 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        }
        HWND endNow = GetDlgItem(hwnd_, IDC_PROGRESS_END_NOW);
        if (state_.stopping && !IsWindowVisible(endNow) && MsSince(stoppedAt_) >= ui::kEndNowAfterMs)
            ShowWindow(endNow, SW_SHOWNA);
    }

    // The lowest visible top-level window of this thread other than ours, in
    // the order the windows stand; HWND_TOP when there is none.
    HWND LowestOtherWindowOfThisThread() const {
        HWND lowest = HWND_TOP;
        const DWORD thread = GetCurrentThreadId();
        for (HWND w = GetTopWindow(nullptr); w != nullptr; w = GetWindow(w, GW_HWNDNEXT))
            if (w != hwnd_ && IsWindowVisible(w) && GetWindowThreadProcessId(w, nullptr) == thread) lowest = w;
        return lowest;
    }

    void Close() {
        if (hwnd_ == nullptr) return;
        KillTimer(hwnd_, kTimer);
        DestroyWindow(hwnd_);
        hwnd_ = nullptr;
    }

    HWND hwnd_ = nullptr;
    Clock::time_point started_, lineStarted_, stoppedAt_;
    ui::ProgressState state_;
    bool shown_ = false;
    bool endNow_ = false;
    std::string labelText_, timeText_;
};

}  // namespace

std::unique_ptr<JobProgress> CreateJobProgress(CAppBase&) { return std::make_unique<WindowProgress>(); }
