// partner_sim: a stand-in for the partner program whose list box Fennrow reads. It shows a
// dialog of class "#32770" with the partner's title and one list box filled from a UTF-8 list
// file, and a hidden control window lets tests change it while it runs.
//
// partner_sim.exe [--list FILE] [--second-list FILE] [--no-list] [--title TEXT] [--id NAME]
//                 [--label-first]
//
// Control: send WM_COPYDATA (dwData = kCommandMagic, UTF-8 text, no terminator needed) to the
// top-level window of class "FennrowPartnerSimControl" titled NAME. The reply is 1 on success,
// 0 on failure. Commands:
//   ping                      round trip through the dialog thread
//   items FILE                replace the items of the first list box
//   clear                     remove all items of the first list box
//   add-list FILE             add a list box after the existing ones in child order
//   drop-list                 destroy the first list box
//   title TEXT                set the dialog title
//   show | hide               show or hide the dialog
//   hang MS                   the dialog thread sleeps MS milliseconds (reply comes first)
//   mutate-on-len INDEX TEXT  once, right after answering LB_GETTEXTLEN for INDEX, replace
//                             that item of the first list box with TEXT
//   close                     end the program with exit code 0

#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr ULONG_PTR kCommandMagic = 0x46534D43; // "FSMC"
constexpr UINT kMsgCommand = WM_APP + 1;
constexpr int kFirstListId = 1001;
constexpr int kLabelId = 1000;
constexpr wchar_t kControlClass[] = L"FennrowPartnerSimControl";
constexpr wchar_t kDefaultTitle[] = L"CHK文件恢复专家永久免费版";
// Commands wait at most this long for a busy (hanging) dialog thread.
constexpr UINT kForwardTimeoutMs = 20000;

HWND g_dialog = nullptr;
WNDPROC g_listProc = nullptr; // the original list box procedure (all list boxes share it)
int g_nextListId = kFirstListId;

struct Mutation {
    bool armed = false;
    HWND list = nullptr;
    int index = 0;
    std::wstring text;
};
Mutation g_mutation;

std::wstring Utf8ToWide(std::string_view s) {
    if (s.empty())
        return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

bool ReadWholeFile(const std::wstring& path, std::string& out) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    out.clear();
    char buf[65536];
    DWORD got = 0;
    bool ok = true;
    for (;;) {
        if (!ReadFile(f, buf, sizeof buf, &got, nullptr)) {
            ok = false;
            break;
        }
        if (got == 0)
            break;
        out.append(buf, got);
    }
    CloseHandle(f);
    return ok;
}

// One item per line; CR LF or LF; a leading UTF-8 BOM is dropped. Empty lines are items, but a
// final newline only ends the last line.
std::vector<std::wstring> SplitListText(std::string_view text) {
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    std::vector<std::wstring> items;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        size_t end = nl == std::string_view::npos ? text.size() : nl;
        std::string_view line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        items.push_back(Utf8ToWide(line));
        if (nl == std::string_view::npos)
            break;
        pos = nl + 1;
    }
    return items;
}

bool LoadList(const std::wstring& path, std::vector<std::wstring>& items) {
    std::string text;
    if (!ReadWholeFile(path, text))
        return false;
    items = SplitListText(text);
    return true;
}

void FillList(HWND list, const std::vector<std::wstring>& items) {
    // Thousands of items: reserve storage once and skip repainting until the end.
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    size_t bytes = 0;
    for (const auto& s : items)
        bytes += (s.size() + 1) * sizeof(wchar_t);
    SendMessageW(list, LB_INITSTORAGE, items.size(), static_cast<LPARAM>(bytes));
    for (const auto& s : items)
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str()));
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

std::vector<HWND> ListBoxes() {
    std::vector<HWND> lists;
    for (HWND h = FindWindowExW(g_dialog, nullptr, L"ListBox", nullptr); h;
         h = FindWindowExW(g_dialog, h, L"ListBox", nullptr))
        lists.push_back(h);
    return lists;
}

HWND FirstListBox() {
    return FindWindowExW(g_dialog, nullptr, L"ListBox", nullptr);
}

// Stacks the list boxes (and the optional label) from top to bottom in child order.
void Layout() {
    RECT rc;
    GetClientRect(g_dialog, &rc);
    int top = 8;
    if (HWND label = GetDlgItem(g_dialog, kLabelId)) {
        MoveWindow(label, 8, top, rc.right - 16, 20, TRUE);
        top += 24;
    }
    auto lists = ListBoxes();
    if (lists.empty())
        return;
    int each = (rc.bottom - top - 8) / static_cast<int>(lists.size());
    for (HWND h : lists) {
        MoveWindow(h, 8, top, rc.right - 16, each - 4, TRUE);
        top += each;
    }
}

LRESULT CALLBACK ListSubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT r = CallWindowProcW(g_listProc, hwnd, msg, wp, lp);
    if (msg == LB_GETTEXTLEN && g_mutation.armed && hwnd == g_mutation.list &&
        static_cast<int>(wp) == g_mutation.index) {
        // Change the item between the caller's length query and its text query.
        g_mutation.armed = false;
        CallWindowProcW(g_listProc, hwnd, LB_DELETESTRING, wp, 0);
        CallWindowProcW(g_listProc, hwnd, LB_INSERTSTRING, wp,
                        reinterpret_cast<LPARAM>(g_mutation.text.c_str()));
    }
    return r;
}

HWND AddListBox(const std::vector<std::wstring>& items) {
    HWND last = nullptr;
    for (HWND h : ListBoxes())
        last = h;
    HWND list = CreateWindowExW(
        WS_EX_CLIENTEDGE, L"ListBox", L"",
        WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, 0, 0,
        10, 10, g_dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(g_nextListId++)),
        GetModuleHandleW(nullptr), nullptr);
    if (!list)
        return nullptr;
    // New children are placed after the existing ones so the first list box stays first.
    HWND after = last ? last : GetDlgItem(g_dialog, kLabelId);
    if (after)
        SetWindowPos(list, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    WNDPROC old = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ListSubclassProc)));
    if (!g_listProc)
        g_listProc = old;
    FillList(list, items);
    Layout();
    return list;
}

std::string_view NextWord(std::string_view& rest) {
    size_t sp = rest.find(' ');
    std::string_view word = rest.substr(0, sp);
    rest = sp == std::string_view::npos ? std::string_view{} : rest.substr(sp + 1);
    return word;
}

bool ParseInt(std::string_view s, long& out) {
    if (s.empty() || s.size() > 10)
        return false;
    std::string copy(s);
    char* end = nullptr;
    out = std::strtol(copy.c_str(), &end, 10);
    return end && *end == '\0';
}

// Runs on the dialog thread; returns 1 on success, 0 on failure.
LRESULT RunCommand(HWND dlg, std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    std::string_view rest = line;
    std::string_view verb = NextWord(rest);
    if (verb == "ping")
        return 1;
    if (verb == "items" || verb == "add-list") {
        std::vector<std::wstring> items;
        if (rest.empty() || !LoadList(Utf8ToWide(rest), items))
            return 0;
        if (verb == "add-list")
            return AddListBox(items) ? 1 : 0;
        HWND list = FirstListBox();
        if (!list)
            return 0;
        FillList(list, items);
        return 1;
    }
    if (verb == "clear") {
        HWND list = FirstListBox();
        if (!list)
            return 0;
        SendMessageW(list, LB_RESETCONTENT, 0, 0);
        return 1;
    }
    if (verb == "drop-list") {
        HWND list = FirstListBox();
        if (!list)
            return 0;
        if (g_mutation.list == list)
            g_mutation = Mutation{};
        DestroyWindow(list);
        Layout();
        return 1;
    }
    if (verb == "title") {
        return SetWindowTextW(dlg, Utf8ToWide(rest).c_str()) ? 1 : 0;
    }
    if (verb == "show" || verb == "hide") {
        ShowWindow(dlg, verb == "show" ? SW_SHOWNOACTIVATE : SW_HIDE);
        return 1;
    }
    if (verb == "hang") {
        long ms = 0;
        if (!ParseInt(rest, ms) || ms < 0)
            return 0;
        // Release the sender first: the caller learns the dialog is about to stop answering.
        ReplyMessage(1);
        Sleep(static_cast<DWORD>(ms));
        return 1;
    }
    if (verb == "mutate-on-len") {
        long index = 0;
        HWND list = FirstListBox();
        if (!ParseInt(NextWord(rest), index) || index < 0 || !list)
            return 0;
        g_mutation.armed = true;
        g_mutation.list = list;
        g_mutation.index = static_cast<int>(index);
        g_mutation.text = Utf8ToWide(rest);
        return 1;
    }
    if (verb == "close") {
        PostQuitMessage(0);
        return 1;
    }
    return 0;
}

INT_PTR CALLBACK DialogProc(HWND dlg, UINT msg, WPARAM, LPARAM lp) {
    switch (msg) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_SIZE:
        if (g_dialog)
            Layout();
        return TRUE;
    case kMsgCommand: {
        const auto* text = reinterpret_cast<const std::string*>(lp);
        SetWindowLongPtrW(dlg, DWLP_MSGRESULT, RunCommand(dlg, *text));
        return TRUE;
    }
    case WM_CLOSE:
        PostQuitMessage(0);
        return TRUE;
    }
    return FALSE;
}

// Dialog template in memory: no controls, they are created afterwards.
HWND CreatePartnerDialog(const std::wstring& title) {
    std::vector<WORD> t;
    auto put32 = [&t](DWORD v) {
        t.push_back(LOWORD(v));
        t.push_back(HIWORD(v));
    };
    auto putString = [&t](const wchar_t* s) {
        for (; *s; ++s)
            t.push_back(static_cast<WORD>(*s));
        t.push_back(0);
    };
    put32(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_THICKFRAME | DS_SETFONT |
          DS_MODALFRAME);
    put32(0);       // extended style
    t.push_back(0); // no controls
    t.push_back(20);
    t.push_back(20);
    t.push_back(320);
    t.push_back(220);
    t.push_back(0); // no menu
    t.push_back(0); // default dialog class
    putString(title.c_str());
    t.push_back(9);
    putString(L"MS Shell Dlg");
    // The template must be DWORD aligned; a vector of DWORDs guarantees that.
    std::vector<DWORD> aligned((t.size() + 1) / 2, 0);
    std::memcpy(aligned.data(), t.data(), t.size() * sizeof(WORD));
    return CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                      reinterpret_cast<LPCDLGTEMPLATEW>(aligned.data()), nullptr,
                                      &DialogProc, 0);
}

LRESULT CALLBACK ControlProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COPYDATA: {
        const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lp);
        if (!cds || cds->dwData != kCommandMagic)
            return 0;
        // Heap copy: if the forward times out, the dialog thread may still read it later.
        auto* text = new std::string(static_cast<const char*>(cds->lpData), cds->cbData);
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutW(g_dialog, kMsgCommand, 0, reinterpret_cast<LPARAM>(text),
                                 SMTO_NORMAL, kForwardTimeoutMs, &result))
            return 0; // leak on purpose: the dialog thread may still use it
        delete text;
        return static_cast<LRESULT>(result);
    }
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

struct ControlStart {
    std::wstring id;
    HANDLE ready = nullptr;
    HWND hwnd = nullptr;
};

DWORD WINAPI ControlThread(void* param) {
    auto* start = static_cast<ControlStart*>(param);
    WNDCLASSW wc{};
    wc.lpfnWndProc = &ControlProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kControlClass;
    RegisterClassW(&wc);
    // A hidden top-level window rather than a message-only one, so FindWindowW finds it from
    // any process.
    start->hwnd = CreateWindowExW(WS_EX_TOOLWINDOW, kControlClass, start->id.c_str(), WS_POPUP, 0,
                                  0, 1, 1, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetEvent(start->ready);
    if (!start->hwnd)
        return 1;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

struct Options {
    std::wstring list;
    std::wstring secondList;
    bool noList = false;
    bool labelFirst = false;
    std::wstring title = kDefaultTitle;
    std::wstring id = L"partner_sim";
};

bool ParseOptions(Options& o) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv)
        return false;
    bool ok = true;
    for (int i = 1; i < argc && ok; ++i) {
        std::wstring_view a = argv[i];
        bool hasValue = i + 1 < argc;
        if (a == L"--no-list")
            o.noList = true;
        else if (a == L"--label-first")
            o.labelFirst = true;
        else if (a == L"--list" && hasValue)
            o.list = argv[++i];
        else if (a == L"--second-list" && hasValue)
            o.secondList = argv[++i];
        else if (a == L"--title" && hasValue)
            o.title = argv[++i];
        else if (a == L"--id" && hasValue)
            o.id = argv[++i];
        else
            ok = false;
    }
    LocalFree(argv);
    return ok;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    Options o;
    if (!ParseOptions(o))
        return 2;
    std::vector<std::wstring> first, second;
    if (!o.list.empty() && !LoadList(o.list, first))
        return 3;
    if (!o.secondList.empty() && !LoadList(o.secondList, second))
        return 3;

    g_dialog = CreatePartnerDialog(o.title);
    if (!g_dialog)
        return 4;
    if (o.labelFirst) {
        // A static child ahead of the list: readers must look for the list box by class.
        CreateWindowExW(0, L"Static", L"文件列表", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, g_dialog,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kLabelId)),
                        GetModuleHandleW(nullptr), nullptr);
    }
    if (!o.noList && !AddListBox(first))
        return 4;
    if (!o.secondList.empty() && !AddListBox(second))
        return 4;
    Layout();
    ShowWindow(g_dialog, SW_SHOWNORMAL);
    UpdateWindow(g_dialog);

    ControlStart start;
    start.id = o.id;
    start.ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, &ControlThread, &start, 0, nullptr);
    if (!thread || WaitForSingleObject(start.ready, 10000) != WAIT_OBJECT_0 || !start.hwnd)
        return 5;

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(g_dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    DestroyWindow(g_dialog);
    g_dialog = nullptr;
    PostMessageW(start.hwnd, WM_CLOSE, 0, 0);
    WaitForSingleObject(thread, 2000);
    CloseHandle(thread);
    CloseHandle(start.ready);
    return 0;
}
