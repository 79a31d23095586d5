// `vantor.exe /JOBS` on Windows: the recent jobs window (template 103) over
// the journal. The upper list holds the jobs, newest first, failed ones in
// red; the lower one the selected job's runs. The texts come from
// ui/jobs_view.h in UTF-8 and go into the lists as UTF-16, so a Unicode
// command line shows every character. The window keeps nothing: no setting is
// read for it and none written; only "Run line again" appends its re-run
// records to the journal. A re-run goes on a worker thread, so the window
// stays responsive; its Close waits until the run has ended.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "job/journal_reader.h"
#include "job/rerun.h"
#include "platform/framework.h"
#include "platform/platform.h"
#include "res/resource.h"
#include "settings/store.h"
#include "ui/config_dialog.h"
#include "ui/jobs_view.h"
#include "ui/jobs_window.h"
#include "ui/win32/dialog_base.h"

namespace {

// The red of a failed job's row.
constexpr COLORREF kFailedColour = RGB(192, 0, 0);

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string Utf8(const std::wstring& wide) {
    if (wide.empty()) return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                      0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n,
                            nullptr, nullptr);
    return utf8;
}

class CJobsWindow final : private CDialogBase {
public:
    explicit CJobsWindow(CAppBase& app)
        : CDialogBase(IDD_JOBS, nullptr),
          app_(app),
          icon_(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME))) {}

    // A re-run still going when the window goes (it cannot be closed
    // meanwhile, but the session may end) is waited for.
    ~CJobsWindow() override {
        if (worker_.joinable()) worker_.join();
    }

    void Show() { (void)RunModal(); }

protected:
    BOOL OnInitDialog() override {
        SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
        SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
        AddColumns(IDC_JOBS_LIST, ui::kJobColumns, std::size(ui::kJobColumns));
        AddColumns(IDC_JOBS_RUNS, ui::kRunColumns, std::size(ui::kRunColumns));
        // The lists asked for their notifications' format while the dialog
        // was made, before this object answered: ask again, so that they ask
        // for their texts in UTF-16 (LVN_GETDISPINFOW).
        for (int id : {IDC_JOBS_LIST, IDC_JOBS_RUNS})
            SendMessageW(Item(id), WM_NOTIFYFORMAT, reinterpret_cast<WPARAM>(hwnd_), NF_REQUERY);
        Load(std::string());
        return TRUE;
    }

    bool OnCommand(int id, int code) override {
        if ((id == IDC_JOBS_FILTER && code == EN_CHANGE) ||
            (id == IDC_JOBS_ONLY_FAILED && code == BN_CLICKED)) {
            FillJobs(std::string());
            return true;
        }
        if (id == IDC_JOBS_COPY && code == BN_CLICKED) {
            Copy();
            return true;
        }
        if (id == IDC_JOBS_RUN_AGAIN && code == BN_CLICKED) {
            RunAgain();
            return true;
        }
        return false;
    }

    // Close, Escape and the close box wait until a re-run has ended.
    void OnCancel() override {
        if (running_) {
            MessageBeep(MB_OK);
            return;
        }
        CDialogBase::OnCancel();
    }

    bool OnMessage(UINT message, WPARAM, LPARAM lParam, INT_PTR& result) override {
        if (message == kRunEnded) {
            RunEnded();
            return true;
        }
        if (message == WM_NOTIFYFORMAT) {
            SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, NFR_UNICODE);
            result = TRUE;
            return true;
        }
        if (message != WM_NOTIFY) return false;
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->code == LVN_GETDISPINFOW) {
            Answer(*reinterpret_cast<NMLVDISPINFOW*>(lParam));
            return true;
        }
        if (header->code == LVN_ITEMCHANGED) {
            const NMLISTVIEW* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
            if ((change->uChanged & LVIF_STATE) == 0 ||
                ((change->uOldState ^ change->uNewState) & LVIS_SELECTED) == 0)
                return false;
            if (header->idFrom == IDC_JOBS_LIST && SelectedJob() != shownJob_) FillRuns();
            UpdateButtons();
            return false;
        }
        if (header->code == NM_CUSTOMDRAW && header->idFrom == IDC_JOBS_LIST) {
            NMLVCUSTOMDRAW* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(lParam);
            LONG_PTR answer = CDRF_DODEFAULT;
            if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) {
                answer = CDRF_NOTIFYITEMDRAW;
            } else if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
                const journal::Job* job = ListedJob(static_cast<std::size_t>(draw->nmcd.dwItemSpec));
                if (job != nullptr && job->Failed()) {
                    draw->clrText = kFailedColour;
                    answer = CDRF_NEWFONT;
                }
            }
            SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, answer);
            result = TRUE;
            return true;
        }
        return false;
    }

private:
    HWND Item(int id) const { return GetDlgItem(hwnd_, id); }

    // Columns as wide as their widths in the dialog's font at 96 DPI, grown
    // with the dialog's base unit as the dialog's own layout grows (the
    // configuration dialog's parameter list does the same).
    void AddColumns(int id, const ui::JobsColumn* columns, std::size_t count) {
        HWND list = Item(id);
        SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
        RECT base{0, 0, 4, 8};
        const int baseUnit = MapDialogRect(hwnd_, &base) && base.right > 0 ? base.right : 6;
        for (std::size_t i = 0; i < count; ++i) {
            LVCOLUMNA column{};
            column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
            column.fmt = LVCFMT_LEFT;
            column.cx = MulDiv(columns[i].width, baseUnit, 6);
            column.pszText = const_cast<char*>(columns[i].title);
            column.iSubItem = static_cast<int>(i);
            SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
        }
    }

    // The lists hold no texts (LVS_OWNERDATA): they ask for the cells they
    // show, so a journal of a hundred thousand jobs costs only its rows on
    // screen. The last row asked for is kept, since a row's cells are asked
    // for one by one.
    void Answer(NMLVDISPINFOW& info) {
        if ((info.item.mask & LVIF_TEXT) == 0 || info.item.pszText == nullptr || info.item.cchTextMax <= 0) return;
        const int list = static_cast<int>(info.hdr.idFrom);
        const std::size_t row = static_cast<std::size_t>(info.item.iItem);
        if (list != cachedList_ || row != cachedRow_) {
            cachedCells_.clear();
            if (list == IDC_JOBS_LIST) {
                if (const journal::Job* job = ListedJob(row)) cachedCells_ = ui::JobRow(loaded_.book, *job);
            } else if (shownJob_ != nullptr && row < shownJob_->runs.size()) {
                cachedCells_ = ui::RunRow(loaded_.book, shownJob_->runs[row]);
            }
            cachedList_ = list;
            cachedRow_ = row;
        }
        const std::size_t column = static_cast<std::size_t>(info.item.iSubItem);
        const std::wstring text = column < cachedCells_.size() ? Wide(cachedCells_[column]) : std::wstring();
        const std::size_t n = std::min(text.size(), static_cast<std::size_t>(info.item.cchTextMax - 1));
        std::copy_n(text.data(), n, info.item.pszText);
        info.item.pszText[n] = L'\0';
    }

    void Forget() {
        cachedList_ = 0;
        cachedCells_.clear();
    }

    // No row of `list` selected or focused.
    static void Unselect(HWND list) {
        LVITEMW none{};
        none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
    }

    // The selected row in list `id`, or -1.
    int SelectedRow(int id) const {
        return static_cast<int>(SendMessageW(Item(id), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    }

    // The job of row `row` of the jobs list, or null.
    const journal::Job* ListedJob(std::size_t row) const {
        return row < listed_.size() && listed_[row] < loaded_.book.jobs.size() ? &loaded_.book.jobs[listed_[row]]
                                                                               : nullptr;
    }

    const journal::Job* SelectedJob() const {
        const int row = SelectedRow(IDC_JOBS_LIST);
        return row >= 0 ? ListedJob(static_cast<std::size_t>(row)) : nullptr;
    }

    const journal::Run* SelectedRun() const {
        const int row = SelectedRow(IDC_JOBS_RUNS);
        return shownJob_ != nullptr && row >= 0 && static_cast<std::size_t>(row) < shownJob_->runs.size()
                   ? &shownJob_->runs[static_cast<std::size_t>(row)]
                   : nullptr;
    }

    // Reads the journal again; selects the job `keepKey` when it is listed,
    // otherwise the newest.
    void Load(const std::string& keepKey) {
        shownJob_ = nullptr;
        listed_.clear();
        SendMessageW(Item(IDC_JOBS_RUNS), LVM_SETITEMCOUNT, 0, 0);
        SendMessageW(Item(IDC_JOBS_LIST), LVM_SETITEMCOUNT, 0, 0);
        Forget();
        loaded_ = journal::LoadJournal(app_);
        SetDlgItemTextW(hwnd_, IDC_JOBS_STATUS,
                        Wide(ui::JournalStatus(loaded_, SettingsFilePath(app_))).c_str());
        FillJobs(keepKey);
    }

    void FillJobs(const std::string& keepKey) {
        HWND list = Item(IDC_JOBS_LIST);
        const int length = GetWindowTextLengthW(Item(IDC_JOBS_FILTER));
        std::wstring filter(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
        GetDlgItemTextW(hwnd_, IDC_JOBS_FILTER, filter.data(), length + 1);
        filter.resize(static_cast<std::size_t>(length > 0 ? length : 0));
        const bool onlyFailed = IsDlgButtonChecked(hwnd_, IDC_JOBS_ONLY_FAILED) == BST_CHECKED;

        listed_ = ui::ListedJobs(loaded_.book, Utf8(filter), onlyFailed);
        Forget();
        int select = 0;
        if (!keepKey.empty())
            for (std::size_t n = 0; n < listed_.size(); ++n)
                if (loaded_.book.KeyOf(loaded_.book.jobs[listed_[n]]) == keepKey) {
                    select = static_cast<int>(n);
                    break;
                }
        SendMessageW(list, LVM_SETITEMCOUNT, listed_.size(), 0);
        Unselect(list);
        if (!listed_.empty()) {
            LVITEMW state{};
            state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
            state.state = LVIS_SELECTED | LVIS_FOCUSED;
            SendMessageW(list, LVM_SETITEMSTATE, select, reinterpret_cast<LPARAM>(&state));
            SendMessageW(list, LVM_ENSUREVISIBLE, select, FALSE);
        }
        InvalidateRect(list, nullptr, TRUE);
        FillRuns();
        UpdateButtons();
    }

    void FillRuns() {
        HWND runs = Item(IDC_JOBS_RUNS);
        shownJob_ = SelectedJob();
        Forget();
        Unselect(runs);
        SendMessageW(runs, LVM_SETITEMCOUNT, shownJob_ != nullptr ? shownJob_->runs.size() : 0, 0);
        InvalidateRect(runs, nullptr, TRUE);
    }

    void UpdateButtons() {
        const journal::Run* run = SelectedRun();
        const journal::Job* job = SelectedJob();
        const std::string advice = run != nullptr   ? ui::RunWhatToDo(loaded_.book, *run)
                                   : job != nullptr ? ui::JobWhatToDo(loaded_.book, *job)
                                                    : std::string();
        SetDlgItemTextW(hwnd_, IDC_JOBS_WHAT_TO_DO, Wide(advice.empty() ? advice : "What to do: " + advice).c_str());
        EnableWindow(Item(IDC_JOBS_COPY), SelectedJob() != nullptr);
        EnableWindow(Item(IDC_JOBS_RUN_AGAIN), !running_ && run != nullptr && run->CanRunAgain());
    }

    void Copy() {
        const journal::Job* job = SelectedJob();
        if (job == nullptr || !OpenClipboard(hwnd_)) return;
        const std::wstring text = Wide(ui::JobText(loaded_.book, *job));
        const SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
        EmptyClipboard();
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
        if (memory != nullptr) {
            void* at = GlobalLock(memory);
            if (at != nullptr) {
                CopyMemory(at, text.c_str(), bytes);
                GlobalUnlock(memory);
                if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) GlobalFree(memory);
            } else {
                GlobalFree(memory);
            }
        }
        CloseClipboard();
    }

    // Starts the selected run again on a worker thread, after asking; a run
    // whose recorded program is not the one the settings give is refused.
    void RunAgain() {
        const journal::Job* job = SelectedJob();
        const journal::Run* run = SelectedRun();
        if (running_ || job == nullptr || run == nullptr || !run->CanRunAgain()) return;
        const std::string key = loaded_.book.KeyOf(*job);
        job::Rerun rerun = job::PrepareRerun(app_, loaded_.path, loaded_.book, *job, *run);
        if (!rerun.refused.empty()) {
            (void)job::RunAgain(rerun);  // starts nothing: records why
            app_.Interaction().ShowWarningUnicode(hwnd_, ui::RunAgainRefusal(rerun), kProductCaption);
            Load(key);
            return;
        }
        if (!app_.Interaction().AskYesNoUnicode(hwnd_, ui::RunAgainQuestion(rerun), kProductCaption)) return;
        running_ = true;
        runningKey_ = key;
        SetDlgItemTextW(hwnd_, IDC_JOBS_STATUS,
                        Wide("Running line " + std::to_string(rerun.line) + " again (" +
                             launch::RunnerName(rerun.runner) +
                             "); the window can be closed once it has ended.").c_str());
        EnableWindow(Item(IDCANCEL), FALSE);
        UpdateButtons();
        // The worker owns its copy of the run and knows only where to say
        // that it ended.
        worker_ = std::thread([rerun = std::move(rerun), window = hwnd_] {
            (void)job::RunAgain(rerun);
            PostMessageW(window, kRunEnded, 0, 0);
        });
    }

    void RunEnded() {
        if (worker_.joinable()) worker_.join();
        running_ = false;
        EnableWindow(Item(IDCANCEL), TRUE);
        Load(runningKey_);
    }

    // Sent when a re-run's worker has written its outcome.
    static constexpr UINT kRunEnded = WM_APP + 1;

    CAppBase& app_;
    HICON icon_;
    journal::Loaded loaded_;
    std::vector<std::size_t> listed_;          // the jobs list's rows: indices into loaded_.book.jobs
    const journal::Job* shownJob_ = nullptr;   // whose runs the runs list shows
    int cachedList_ = 0;                       // the list and row whose cells are cached
    std::size_t cachedRow_ = 0;
    std::vector<std::string> cachedCells_;
    bool running_ = false;
    std::string runningKey_;
    std::thread worker_;
};

}  // namespace

void ShowJobs(CAppBase& app) {
    CJobsWindow window(app);
    window.Show();
}
