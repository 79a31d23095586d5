// `vantor.exe /JOBS` on Windows: the recent jobs window (template 103) over
// the journal. The upper list holds the jobs, newest first, failed ones in
// red; the lower one the selected job's runs. The texts come from
// ui/jobs_view.h in UTF-8 and go into the lists as UTF-16, so a Unicode
// command line shows every character. The window keeps nothing: no setting is
// read for it and none written; only "Run line again" appends its re-run
// record to the journal.
#include <windows.h>
#include <commctrl.h>

#include <iterator>
#include <string>
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

    void Show() { (void)RunModal(); }

protected:
    BOOL OnInitDialog() override {
        SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
        SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
        AddColumns(IDC_JOBS_LIST, ui::kJobColumns, std::size(ui::kJobColumns));
        AddColumns(IDC_JOBS_RUNS, ui::kRunColumns, std::size(ui::kRunColumns));
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

    bool OnMessage(UINT message, WPARAM, LPARAM lParam, INT_PTR& result) override {
        if (message != WM_NOTIFY) return false;
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->code == LVN_ITEMCHANGED) {
            const NMLISTVIEW* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
            if ((change->uChanged & LVIF_STATE) == 0 ||
                ((change->uOldState ^ change->uNewState) & LVIS_SELECTED) == 0)
                return false;
            if (header->idFrom == IDC_JOBS_LIST) FillRuns();
            UpdateButtons();
            return false;
        }
        if (header->code == NM_CUSTOMDRAW && header->idFrom == IDC_JOBS_LIST) {
            NMLVCUSTOMDRAW* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(lParam);
            LONG_PTR answer = CDRF_DODEFAULT;
            if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) {
                answer = CDRF_NOTIFYITEMDRAW;
            } else if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
                const std::size_t index = static_cast<std::size_t>(draw->nmcd.lItemlParam);
                if (index < loaded_.book.jobs.size() && loaded_.book.jobs[index].Failed()) {
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

    static void AddRow(HWND list, const std::vector<std::string>& cells, std::size_t param) {
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        std::wstring first = Wide(cells.empty() ? std::string() : cells[0]);
        item.pszText = first.data();
        item.lParam = static_cast<LPARAM>(param);
        const int index =
            static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        if (index < 0) return;
        for (std::size_t c = 1; c < cells.size(); ++c) {
            std::wstring text = Wide(cells[c]);
            LVITEMW sub{};
            sub.iSubItem = static_cast<int>(c);
            sub.pszText = text.data();
            SendMessageW(list, LVM_SETITEMTEXTW, index, reinterpret_cast<LPARAM>(&sub));
        }
    }

    // The selected row's parameter in list `id`, or -1.
    long long Selected(int id) const {
        HWND list = Item(id);
        const LRESULT row = SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
        if (row < 0) return -1;
        LVITEMA item{};
        item.mask = LVIF_PARAM;
        item.iItem = static_cast<int>(row);
        if (!SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return -1;
        return static_cast<long long>(item.lParam);
    }

    const journal::Job* SelectedJob() const {
        const long long index = Selected(IDC_JOBS_LIST);
        return index >= 0 && static_cast<std::size_t>(index) < loaded_.book.jobs.size()
                   ? &loaded_.book.jobs[static_cast<std::size_t>(index)]
                   : nullptr;
    }

    const journal::Run* SelectedRun() const {
        const journal::Job* job = SelectedJob();
        const long long index = Selected(IDC_JOBS_RUNS);
        return job != nullptr && index >= 0 && static_cast<std::size_t>(index) < job->runs.size()
                   ? &job->runs[static_cast<std::size_t>(index)]
                   : nullptr;
    }

    // Reads the journal again; selects the job `keepKey` when it is listed,
    // otherwise the newest.
    void Load(const std::string& keepKey) {
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

        SendMessageW(list, WM_SETREDRAW, FALSE, 0);
        SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
        int select = 0;
        const std::vector<std::size_t> listed = ui::ListedJobs(loaded_.book, Utf8(filter), onlyFailed);
        for (std::size_t n = 0; n < listed.size(); ++n) {
            const journal::Job& job = loaded_.book.jobs[listed[n]];
            if (!keepKey.empty() && job.Key() == keepKey) select = static_cast<int>(n);
            AddRow(list, ui::JobRow(job), listed[n]);
        }
        SendMessageW(list, WM_SETREDRAW, TRUE, 0);
        FillRuns();
        if (!listed.empty()) {
            LVITEMW state{};
            state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
            state.state = LVIS_SELECTED | LVIS_FOCUSED;
            SendMessageW(list, LVM_SETITEMSTATE, select, reinterpret_cast<LPARAM>(&state));
            SendMessageW(list, LVM_ENSUREVISIBLE, select, FALSE);
        }
        UpdateButtons();
    }

    void FillRuns() {
        HWND runs = Item(IDC_JOBS_RUNS);
        SendMessageW(runs, LVM_DELETEALLITEMS, 0, 0);
        if (const journal::Job* job = SelectedJob())
            for (std::size_t i = 0; i < job->runs.size(); ++i) AddRow(runs, ui::RunRow(job->runs[i]), i);
    }

    void UpdateButtons() {
        const journal::Run* run = SelectedRun();
        const journal::Job* job = SelectedJob();
        const std::string advice = run != nullptr ? ui::RunWhatToDo(*run) : job != nullptr ? ui::JobWhatToDo(*job) : std::string();
        SetDlgItemTextW(hwnd_, IDC_JOBS_WHAT_TO_DO, Wide(advice.empty() ? advice : "What to do: " + advice).c_str());
        EnableWindow(Item(IDC_JOBS_COPY), SelectedJob() != nullptr);
        EnableWindow(Item(IDC_JOBS_RUN_AGAIN), run != nullptr && run->CanRunAgain());
    }

    void Copy() {
        const journal::Job* job = SelectedJob();
        if (job == nullptr || !OpenClipboard(hwnd_)) return;
        const std::wstring text = Wide(ui::JobText(*job));
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

    void RunAgain() {
        const journal::Job* job = SelectedJob();
        const journal::Run* run = SelectedRun();
        if (job == nullptr || run == nullptr || !run->CanRunAgain()) return;
        if (!app_.Interaction().AskYesNo(hwnd_, platform::Utf8ToAnsi(ui::RunAgainQuestion(*run)),
                                         kProductCaption))
            return;
        const std::string key = job->Key();
        HCURSOR before = SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)));  // IDC_WAIT
        (void)job::RunAgain(app_, loaded_.path, *job, *run);
        SetCursor(before);
        Load(key);
    }

    CAppBase& app_;
    HICON icon_;
    journal::Loaded loaded_;
};

}  // namespace

void ShowJobs(CAppBase& app) {
    CJobsWindow window(app);
    window.Show();
}
