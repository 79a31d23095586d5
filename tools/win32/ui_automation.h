// Driving another process's dialogs through window messages: find a dialog
// by its caption, read its controls (class, style, text, check state,
// enabling, list selections, list-view rows), click, type, answer message
// boxes, and take a screenshot as PNG. Used by the UI driver program
// (uidriver.cpp) and by the dialog tests, which run in the same Wine session
// as the program they drive.
//
// Divisions:
//   1. waiting and finding windows     4. acting on controls
//   2. reading controls                5. dialog units
//   3. list views (remote memory)      6. screenshots
//
// Header-only: the tools build one program per source file.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace uiauto {

// Milliseconds any single cross-process message may take before it counts
// as hung.
inline constexpr UINT kMessageTimeoutMs = 5000;

// ---------------------------------------------------- 1. waiting and finding

// Polls `condition` every 20 ms until it holds or `timeoutMs` passes.
inline bool WaitFor(const std::function<bool()>& condition, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

inline std::string ClassName(HWND hwnd) {
    char name[256] = "";
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

// The window's text, asked of its own thread (WM_GETTEXT), so an edit
// control's current contents come back. "" when it does not answer.
inline std::string WindowText(HWND hwnd) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                             &length))
        return std::string();
    std::vector<char> buffer(length + 2, '\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                             SMTO_ABORTIFHUNG, kMessageTimeoutMs, &got))
        return std::string();
    return std::string(buffer.data());
}

// The same as UTF-8, every character kept (WM_GETTEXT asked as UTF-16).
inline std::string WindowTextUtf8(HWND hwnd) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &length))
        return std::string();
    std::vector<wchar_t> buffer(length + 2, L'\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                             SMTO_ABORTIFHUNG, kMessageTimeoutMs, &got))
        return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, buffer.data(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n > 0 ? n : 1), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, buffer.data(), -1, utf8.data(), n, nullptr, nullptr);
    utf8.resize(utf8.size() - 1);
    return utf8;
}

inline DWORD ProcessOf(HWND hwnd) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    return pid;
}

// Top-level windows of process `pid` (any process for 0) with the given
// class ("" for any) and caption (nullptr for any), visible or not.
inline std::vector<HWND> TopLevelWindows(DWORD pid, const std::string& className,
                                         const char* caption) {
    struct Query {
        DWORD pid;
        std::string className;
        const char* caption;
        std::vector<HWND> found;
    } query{pid, className, caption, {}};
    struct Callback {
        static BOOL CALLBACK Each(HWND hwnd, LPARAM param) {
            auto* q = reinterpret_cast<Query*>(param);
            if (q->pid != 0 && ProcessOf(hwnd) != q->pid) return TRUE;
            if (!q->className.empty() && ClassName(hwnd) != q->className) return TRUE;
            if (q->caption != nullptr && WindowText(hwnd) != q->caption) return TRUE;
            q->found.push_back(hwnd);
            return TRUE;
        }
    };
    EnumWindows(Callback::Each, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

// The first dialog window (class "#32770") of `pid` with that caption, or
// null after `timeoutMs`. `mustBeVisible`: only once it is shown.
inline HWND WaitForDialog(DWORD pid, const char* caption, int timeoutMs, bool mustBeVisible = true) {
    HWND found = nullptr;
    WaitFor(
        [&] {
            for (HWND hwnd : TopLevelWindows(pid, "#32770", caption)) {
                if (mustBeVisible && !IsWindowVisible(hwnd)) continue;
                found = hwnd;
                return true;
            }
            return false;
        },
        timeoutMs);
    return found;
}

// ------------------------------------------------------- 2. reading controls

struct ControlInfo {
    HWND hwnd = nullptr;
    int id = 0;
    std::string className;
    DWORD style = 0;
    DWORD exStyle = 0;
    std::string text;
    bool enabled = false;
    bool visible = false;
    RECT rect{};  // in the dialog's client coordinates, pixels
};

inline RECT RectInParent(HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// The dialog's child windows in creation order, which for a dialog is the
// template order and the tab order.
inline std::vector<ControlInfo> Controls(HWND dialog) {
    std::vector<ControlInfo> controls;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        ControlInfo info;
        info.hwnd = child;
        info.id = GetDlgCtrlID(child);
        info.className = ClassName(child);
        info.style = static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE));
        info.exStyle = static_cast<DWORD>(GetWindowLongA(child, GWL_EXSTYLE));
        info.text = WindowText(child);
        info.enabled = IsWindowEnabled(child) != FALSE;
        info.visible = IsWindowVisible(child) != FALSE;
        info.rect = RectInParent(child);
        controls.push_back(info);
    }
    return controls;
}

inline LRESULT Send(HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(hwnd, message, wParam, lParam, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &result);
    return static_cast<LRESULT>(result);
}

// BST_UNCHECKED, BST_CHECKED or BST_INDETERMINATE.
inline int CheckState(HWND button) { return static_cast<int>(Send(button, BM_GETCHECK)); }

inline int CheckState(HWND dialog, int id) { return CheckState(GetDlgItem(dialog, id)); }

inline std::string ItemText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

// --------------------------------------------- 3. list views (remote memory)

// A block of memory inside another process, for the messages whose
// pointers the system does not carry across processes.
class RemoteBlock {
public:
    RemoteBlock(HWND owner, std::size_t size) : size_(size) {
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                               ProcessOf(owner));
        if (process_ != nullptr)
            address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE,
                                      PAGE_READWRITE);
    }
    ~RemoteBlock() {
        if (address_ != nullptr) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        if (process_ != nullptr) CloseHandle(process_);
    }
    RemoteBlock(const RemoteBlock&) = delete;
    RemoteBlock& operator=(const RemoteBlock&) = delete;

    bool ok() const { return address_ != nullptr; }
    char* at(std::size_t offset) const { return static_cast<char*>(address_) + offset; }
    bool Write(std::size_t offset, const void* data, std::size_t size) {
        SIZE_T done = 0;
        return WriteProcessMemory(process_, at(offset), data, size, &done) && done == size;
    }
    bool Read(std::size_t offset, void* data, std::size_t size) const {
        SIZE_T done = 0;
        return ReadProcessMemory(process_, at(offset), data, size, &done) && done == size;
    }

private:
    HANDLE process_ = nullptr;
    void* address_ = nullptr;
    std::size_t size_;
};

struct ComboState {
    int count = 0;
    int selected = -1;
    std::string selectedText;        // the closed list's text
    std::vector<std::string> items;  // in index order
};

inline ComboState Combo(HWND combo) {
    ComboState state;
    state.count = static_cast<int>(Send(combo, CB_GETCOUNT));
    state.selected = static_cast<int>(Send(combo, CB_GETCURSEL));
    state.selectedText = WindowText(combo);
    // CB_GETLBTEXT's buffer is not carried across processes: read each item
    // as the closed list's text while it is selected, then restore.
    for (int i = 0; i < state.count; ++i) {
        Send(combo, CB_SETCURSEL, i);
        state.items.push_back(WindowText(combo));
    }
    if (state.count > 0) Send(combo, CB_SETCURSEL, static_cast<WPARAM>(state.selected));
    return state;
}

// The style of a combo box's drop-down list (the combo box hands its own
// WS_VSCROLL on to that list), or 0.
inline DWORD ComboListStyle(HWND combo) {
    RemoteBlock block(combo, sizeof(COMBOBOXINFO));
    if (!block.ok()) return 0;
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    block.Write(0, &info, sizeof info);
    if (!Send(combo, CB_GETCOMBOBOXINFO, 0, reinterpret_cast<LPARAM>(block.at(0)))) return 0;
    block.Read(0, &info, sizeof info);
    return info.hwndList ? static_cast<DWORD>(GetWindowLongA(info.hwndList, GWL_STYLE)) : 0;
}

struct ListColumn {
    std::string title;
    int width = 0;
    int format = 0;  // LVCFMT_...
};

struct ListViewState {
    std::vector<ListColumn> columns;
    std::vector<std::vector<std::string>> rows;  // display order, one text per column
};

// One cell's text asked for as UTF-16 (LVM_GETITEMTEXTW) through `block`
// (at least 256 + 4096 bytes in the list's process), given in UTF-8.
inline std::string ListCellW(RemoteBlock& block, HWND list, int row, int column) {
    constexpr std::size_t kTextOffset = 256, kTextSize = 4096;
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = reinterpret_cast<wchar_t*>(block.at(kTextOffset));
    item.cchTextMax = kTextSize / sizeof(wchar_t);
    block.Write(0, &item, sizeof item);
    const LRESULT length = Send(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(block.at(0)));
    std::vector<wchar_t> text(kTextSize / sizeof(wchar_t), L'\0');
    if (length > 0) block.Read(kTextOffset, text.data(), static_cast<std::size_t>(length) * sizeof(wchar_t));
    const int n = length > 0 ? WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(length), nullptr, 0,
                                                   nullptr, nullptr)
                             : 0;
    std::string utf8(static_cast<std::size_t>(n), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(length), utf8.data(), n, nullptr, nullptr);
    return utf8;
}

// The text of one cell, in UTF-8: for a list of many rows, where reading
// them all would take long.
inline std::string ListViewCell(HWND list, int row, int column) {
    RemoteBlock block(list, 256 + 4096);
    return block.ok() ? ListCellW(block, list, row, column) : std::string();
}

// `unicode`: the rows' texts asked for as UTF-16 (LVM_GETITEMTEXTW) and
// given in UTF-8, every character kept; otherwise in the ANSI code page.
inline ListViewState ListView(HWND list, bool unicode = false) {
    ListViewState state;
    constexpr std::size_t kTextOffset = 256, kTextSize = 4096;
    RemoteBlock block(list, kTextOffset + kTextSize);
    if (!block.ok()) return state;

    HWND header = reinterpret_cast<HWND>(Send(list, LVM_GETHEADER));
    const int columnCount = header ? static_cast<int>(Send(header, HDM_GETITEMCOUNT)) : 0;
    for (int c = 0; c < columnCount; ++c) {
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
        column.pszText = block.at(kTextOffset);
        column.cchTextMax = kTextSize;
        const char zero = 0;
        block.Write(kTextOffset, &zero, 1);
        block.Write(0, &column, sizeof column);
        Send(list, LVM_GETCOLUMNA, c, reinterpret_cast<LPARAM>(block.at(0)));
        block.Read(0, &column, sizeof column);
        std::vector<char> title(kTextSize, '\0');
        block.Read(kTextOffset, title.data(), kTextSize - 1);
        state.columns.push_back({title.data(), column.cx, column.fmt & LVCFMT_JUSTIFYMASK});
    }

    const int rowCount = static_cast<int>(Send(list, LVM_GETITEMCOUNT));
    for (int r = 0; r < rowCount; ++r) {
        std::vector<std::string> row;
        for (int c = 0; c < std::max(columnCount, 1); ++c) {
            if (unicode) {
                row.push_back(ListCellW(block, list, r, c));
                continue;
            }
            LVITEMA item{};
            item.iSubItem = c;
            item.pszText = block.at(kTextOffset);
            item.cchTextMax = kTextSize;
            block.Write(0, &item, sizeof item);
            const LRESULT length =
                Send(list, LVM_GETITEMTEXTA, r, reinterpret_cast<LPARAM>(block.at(0)));
            std::vector<char> text(kTextSize, '\0');
            if (length > 0) block.Read(kTextOffset, text.data(), static_cast<std::size_t>(length));
            row.push_back(text.data());
        }
        state.rows.push_back(row);
    }
    return state;
}

// ------------------------------------------------------ 4. acting on controls

// A click the way the mouse makes it, waiting until the button has handled
// it. For buttons whose click opens a modal box, use PostClick.
inline void Click(HWND dialog, int id) { Send(GetDlgItem(dialog, id), BM_CLICK); }

// Posts the button's click notification to the dialog and returns at once.
inline void PostClick(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Replaces the text of an edit control, as typing over it would.
inline void Type(HWND dialog, int id, const std::string& text) {
    Send(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// Selects an item of a drop-down list by index.
inline void SelectIndex(HWND dialog, int id, int index) {
    Send(GetDlgItem(dialog, id), CB_SETCURSEL, index);
}

// Selects (and focuses) row `row` of a list view as a click would; the
// list's owner gets its change notification before this returns.
inline bool SelectListRow(HWND list, int row) {
    RemoteBlock block(list, sizeof(LVITEMA));
    if (!block.ok()) return false;
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    block.Write(0, &item, sizeof item);
    return Send(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(block.at(0))) != 0;
}

// The row of a list view that is selected, or -1.
inline int SelectedListRow(HWND list) {
    return static_cast<int>(Send(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

// Posts a system-menu command (WM_SYSCOMMAND) and returns at once.
inline void PostSysCommand(HWND window, WPARAM command, LPARAM lParam = 0) {
    PostMessageA(window, WM_SYSCOMMAND, command, lParam);
}

// The message text of a message box: its static text control that is not
// the icon; with `unicode`, in UTF-8 with every character.
inline std::string MessageBoxText(HWND box, bool unicode = false) {
    std::string text;
    for (const ControlInfo& c : Controls(box)) {
        if (c.className == "Static" && (c.style & SS_TYPEMASK) != SS_ICON && !c.text.empty())
            text = unicode ? WindowTextUtf8(c.hwnd) : c.text;
    }
    return text;
}

// Whether the box has a button with that ID (IDYES, IDNO, IDOK, ...).
inline bool HasButton(HWND box, int id) {
    HWND button = GetDlgItem(box, id);
    return button != nullptr && ClassName(button) == "Button";
}

// Answers a message box with the button of that ID and waits until it is
// gone. Returns false when it is still there after `timeoutMs`.
inline bool Answer(HWND box, int id, int timeoutMs = 5000) {
    // A click posted while the box is still setting itself up can be lost:
    // post again until the box goes.
    for (int waited = 0; waited < timeoutMs; waited += 500) {
        PostClick(box, id);
        if (WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 500)) return true;
    }
    return false;
}

// --------------------------------------------------------- 5. dialog units

// Pixels of a rectangle given in dialog units of the font "MS Shell Dlg" 8
// pt, the font of the connector's dialogs: MapDialogRect over a hidden
// dialog of that font in this process (the real dialog belongs to another
// process, whose dialog data MapDialogRect cannot reach).
inline RECT DialogUnitsToPixels(int x, int y, int cx, int cy) {
    // DLGTEMPLATE, no menu, default class, empty title, then the font.
    alignas(4) WORD words[64] = {};
    auto* tmpl = reinterpret_cast<DLGTEMPLATE*>(words);
    tmpl->style = WS_POPUP | DS_SETFONT;
    tmpl->cdit = 0;
    tmpl->cx = 100;
    tmpl->cy = 100;
    WORD* p = reinterpret_cast<WORD*>(tmpl + 1);
    *p++ = 0;  // menu
    *p++ = 0;  // class
    *p++ = 0;  // title
    *p++ = 8;  // point size
    for (const char* f = "MS Shell Dlg"; *f; ++f) *p++ = static_cast<WORD>(*f);
    *p++ = 0;
    struct Probe {
        static INT_PTR CALLBACK Proc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
    };
    HWND probe =
        CreateDialogIndirectParamA(GetModuleHandleA(nullptr), tmpl, nullptr, Probe::Proc, 0);
    RECT rect{x, y, cx, cy};  // x, y, width, height mapped one by one
    if (probe != nullptr) {
        MapDialogRect(probe, &rect);
        DestroyWindow(probe);
    }
    return rect;  // left, top, width, height in pixels
}

// ----------------------------------------------------------- 6. screenshots

namespace detail {
inline std::uint32_t Crc32(const unsigned char* data, std::size_t size, std::uint32_t crc = 0) {
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}
inline void Put32(std::string& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xFF);
}
inline void Chunk(std::string& out, const char* type, const std::string& data) {
    Put32(out, static_cast<std::uint32_t>(data.size()));
    std::string body = std::string(type, 4) + data;
    out += body;
    Put32(out, Crc32(reinterpret_cast<const unsigned char*>(body.data()), body.size()));
}
}  // namespace detail

// A PNG (8-bit RGB, stored without compression) of `rgb` rows, top first.
inline std::string EncodePng(int width, int height, const std::vector<unsigned char>& rgb) {
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw += '\0';  // filter: none
        raw.append(reinterpret_cast<const char*>(&rgb[static_cast<std::size_t>(y) * width * 3]),
                   static_cast<std::size_t>(width) * 3);
    }
    // zlib stream of stored blocks.
    std::string z = "\x78\x01";
    std::size_t pos = 0;
    do {
        const std::size_t n = std::min<std::size_t>(65535, raw.size() - pos);
        const bool last = pos + n == raw.size();
        z += static_cast<char>(last ? 1 : 0);
        z += static_cast<char>(n & 0xFF);
        z += static_cast<char>(n >> 8);
        z += static_cast<char>(~n & 0xFF);
        z += static_cast<char>((~n >> 8) & 0xFF);
        z.append(raw, pos, n);
        pos += n;
    } while (pos < raw.size());
    std::uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    detail::Put32(z, (b << 16) | a);

    std::string png = "\x89PNG\r\n\x1a\n";
    std::string header;
    detail::Put32(header, static_cast<std::uint32_t>(width));
    detail::Put32(header, static_cast<std::uint32_t>(height));
    header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB
    detail::Chunk(png, "IHDR", header);
    detail::Chunk(png, "IDAT", z);
    detail::Chunk(png, "IEND", std::string());
    return png;
}

// Copies what the screen shows of `window` (frame and caption where the
// system draws them) into a PNG file at `path`. Returns false when nothing
// could be captured or written.
inline bool SaveScreenshot(HWND window, const std::string& path) {
    RECT rect;
    if (!GetWindowRect(window, &rect)) return false;
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return false;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    const BOOL painted =
        BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY | CAPTUREBLT);
    SelectObject(memory, old);

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    const int stride = (width * 3 + 3) & ~3;
    std::vector<unsigned char> bgr(static_cast<std::size_t>(stride) * height);
    const int lines = GetDIBits(memory, bitmap, 0, height, bgr.data(), &info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!painted || lines != height) return false;

    std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int k = 0; k < 3; ++k)
                rgb[(static_cast<std::size_t>(y) * width + x) * 3 + k] =
                    bgr[static_cast<std::size_t>(y) * stride + x * 3 + (2 - k)];
    const std::string png = EncodePng(width, height, rgb);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace uiauto
