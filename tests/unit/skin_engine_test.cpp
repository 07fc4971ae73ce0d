// The skin engine DLL as the program uses it: loaded by name from the program's folder, fed
// carried skins, and judged by what it paints.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "skin/carried_data.h"

namespace {

using AttachResFn = int(WINAPI*)(const unsigned char*, int, const char*, int, int, int);
using SetAeroFn = int(WINAPI*)(int);

const unsigned char kMagic[6] = {0x2E, 0x53, 0x48, 0x45, 0x00, 0x03};

std::wstring ExecutableFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\'));
}

struct Engine {
    HMODULE module = nullptr;
    AttachResFn attach = nullptr;
    SetAeroFn aero = nullptr;
};

const Engine& LoadedEngine() {
    static const Engine engine = [] {
        Engine e;
        e.module = LoadLibraryW((ExecutableFolder() + L"\\SkinH_EL.dll").c_str());
        if (e.module != nullptr) {
            e.attach = reinterpret_cast<AttachResFn>(
                reinterpret_cast<void*>(GetProcAddress(e.module, "SkinH_AttachRes")));
            e.aero = reinterpret_cast<SetAeroFn>(
                reinterpret_cast<void*>(GetProcAddress(e.module, "SkinH_SetAero")));
        }
        return e;
    }();
    return engine;
}

// Each case runs on a thread of its own: the engine skins per thread.
void OnFreshThread(const std::function<void()>& body) {
    std::thread worker(body);
    worker.join();
}

// --- Building skin blocks by hand, to know exactly what the engine gets. ---

std::uint32_t Crc32(const std::vector<unsigned char>& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
        crc ^= b;
        for (int i = 0; i < 8; ++i)
            crc = (crc >> 1) ^ ((crc & 1u) ? 0xEDB88320u : 0u);
    }
    return ~crc;
}

void PutU16(std::vector<unsigned char>& out, unsigned v) {
    out.push_back(static_cast<unsigned char>(v & 0xFF));
    out.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
}

void PutU32(std::vector<unsigned char>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<unsigned char>((v >> (8 * i)) & 0xFF));
}

constexpr int kColourKeys = 28; // ids 1..28

// Colour slots used below (ids as laid down in the skin format).
constexpr int kCaptionTop = 4, kCaptionBottom = 5, kCaptionInactiveTop = 6,
              kCaptionInactiveBottom = 7, kClientTop = 12, kClientBottom = 13, kButtonTop = 14,
              kButtonBottom = 15, kEditBackground = 27;

struct Entry {
    unsigned key;
    unsigned kind;
    std::uint32_t value;
};

std::vector<Entry> TestEntries() {
    std::vector<Entry> entries;
    for (unsigned key = 1; key <= kColourKeys; ++key)
        entries.push_back({key, 1, RGB(90, 90, 90)});
    auto set = [&](unsigned key, COLORREF c) { entries[key - 1].value = c; };
    set(kCaptionTop, RGB(200, 10, 10));
    set(kCaptionBottom, RGB(200, 10, 10));
    set(kCaptionInactiveTop, RGB(200, 10, 10));
    set(kCaptionInactiveBottom, RGB(200, 10, 10));
    set(kClientTop, RGB(12, 34, 56));
    set(kClientBottom, RGB(12, 34, 56));
    set(kButtonTop, RGB(1, 200, 3));
    set(kButtonBottom, RGB(1, 200, 3));
    set(kEditBackground, RGB(250, 240, 200));
    entries.push_back({64, 3, 3}); // button corner radius
    return entries;
}

std::vector<unsigned char> BuildSkin(const std::vector<Entry>& entries, unsigned version = 1) {
    const std::string name = "Test";
    std::vector<unsigned char> out(std::begin(kMagic), std::end(kMagic));
    PutU16(out, version);
    const std::size_t total = 15 + name.size() + entries.size() * 8 + 4;
    PutU32(out, static_cast<std::uint32_t>(total));
    PutU16(out, static_cast<unsigned>(entries.size()));
    out.push_back(static_cast<unsigned char>(name.size()));
    out.insert(out.end(), name.begin(), name.end());
    for (const Entry& e : entries) {
        PutU16(out, e.key);
        out.push_back(static_cast<unsigned char>(e.kind));
        out.push_back(0);
        PutU32(out, e.value);
    }
    PutU32(out, Crc32(out));
    return out;
}

// --- Windows to paint. ---

HBRUSH g_staticMarker = nullptr;

LRESULT CALLBACK PlainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CTLCOLORSTATIC)
        return reinterpret_cast<LRESULT>(g_staticMarker);
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

const wchar_t* TestClass() {
    static const wchar_t* name = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = PlainProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.lpszClassName = L"SkinEngineTestWindow";
        RegisterClassW(&wc);
        g_staticMarker = CreateSolidBrush(RGB(1, 2, 3));
        return L"SkinEngineTestWindow";
    }();
    return name;
}

HWND MakeTopLevel() {
    return CreateWindowExW(0, TestClass(), L"",
                           WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 40, 40, 348,
                           366, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

HWND MakeChild(HWND parent, const wchar_t* cls, DWORD style, DWORD exStyle, int x, int y, int w,
               int h) {
    return CreateWindowExW(exStyle, cls, L"", WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
}

void Pump() {
    MSG msg;
    for (int i = 0; i < 200 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// A memory DC with its own bitmap, for WM_PRINT / WM_PRINTCLIENT.
struct MemoryCanvas {
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
    MemoryCanvas(int w, int h) {
        HDC screen = GetDC(nullptr);
        dc = CreateCompatibleDC(screen);
        bitmap = CreateCompatibleBitmap(screen, w, h);
        ReleaseDC(nullptr, screen);
        old = SelectObject(dc, bitmap);
        RECT all{0, 0, w, h};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    ~MemoryCanvas() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
};

COLORREF ClientColourByPrint(HWND hwnd, int x, int y) {
    MemoryCanvas canvas(400, 400);
    // A shifted origin, as a transparent label hands it over.
    SetViewportOrgEx(canvas.dc, -x + 5, -y + 5, nullptr);
    SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.dc), 0);
    SetViewportOrgEx(canvas.dc, 0, 0, nullptr);
    return GetPixel(canvas.dc, 5, 5);
}

COLORREF PrintedPixel(HWND hwnd, UINT msg, LPARAM flags, int x, int y) {
    MemoryCanvas canvas(400, 400);
    SendMessageW(hwnd, msg, reinterpret_cast<WPARAM>(canvas.dc), flags);
    return GetPixel(canvas.dc, x, y);
}

int CaptionMiddleY(HWND hwnd) {
    RECT window{};
    GetWindowRect(hwnd, &window);
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    const int frame = origin.x - window.left;
    return (frame + (origin.y - window.top)) / 2;
}

INT_PTR CALLBACK QuietDialogProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

// --- The cases. ---

TEST(SkinEngine, ExportsTheTwoEntryPointsByPlainName) {
    const Engine& engine = LoadedEngine();
    ASSERT_NE(engine.module, nullptr);
    EXPECT_NE(engine.attach, nullptr);
    EXPECT_NE(engine.aero, nullptr);
    for (const char* decorated : {"_SkinH_AttachRes@24", "SkinH_AttachRes@24", "_SkinH_SetAero@4"})
        EXPECT_EQ(GetProcAddress(engine.module, decorated), nullptr) << decorated;
}

TEST(SkinEngine, RefusesBrokenBlocksAndInstallsNothing) {
    const Engine& engine = LoadedEngine();
    ASSERT_NE(engine.attach, nullptr);
    const std::vector<unsigned char> good = BuildSkin(TestEntries());
    std::vector<unsigned char> padded = good;
    padded.push_back(0);

    struct Case {
        const char* what;
        std::vector<unsigned char> bytes;
        int size; // -1: the size of `bytes`
    };
    std::vector<Case> cases;
    auto mutated = [&](const char* what, std::size_t at, unsigned char value) {
        std::vector<unsigned char> b = good;
        b[at] = value;
        cases.push_back({what, b, -1});
    };
    mutated("first magic byte", 0, 0x2F);
    mutated("last magic byte", 5, 0x02);
    mutated("stated size", 8, static_cast<unsigned char>(good[8] + 1));
    mutated("checksum", good.size() - 1, static_cast<unsigned char>(good.back() ^ 0x40));
    for (int cut : {1, 5, 6, 14, 20, static_cast<int>(good.size()) - 1})
        cases.push_back({"truncated", good, cut});
    cases.push_back({"zero size", good, 0});
    cases.push_back({"negative size", good, -5});
    cases.push_back({"trailing byte", padded, -1});
    cases.push_back({"unknown version", BuildSkin(TestEntries(), 2), -1});
    std::vector<Entry> oversized = TestEntries();
    oversized[2].value = 0x01000000u;
    cases.push_back({"colour value above 24 bits", BuildSkin(oversized), -1});
    std::vector<Entry> badKind = TestEntries();
    badKind[0].kind = 9;
    cases.push_back({"unknown value kind", BuildSkin(badKind), -1});
    std::vector<Entry> missing = TestEntries();
    missing.erase(missing.begin() + 10);
    cases.push_back({"a colour slot missing", BuildSkin(missing), -1});

    OnFreshThread([&] {
        EXPECT_EQ(engine.attach(nullptr, 100, "", 0, 0, 0), 0) << "null pointer";
        for (const Case& c : cases) {
            const int size = c.size == -1 ? static_cast<int>(c.bytes.size()) : c.size;
            EXPECT_EQ(engine.attach(c.bytes.data(), size, "", 0, 0, 0), 0) << c.what;
        }
        // Nothing was installed on this thread: a new window keeps its own white background.
        HWND window = MakeTopLevel();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(ClientColourByPrint(window, 50, 50), RGB(255, 255, 255));
        DestroyWindow(window);
    });
}

TEST(SkinEngine, CarriesThirtyThreeSkinsThatTheEngineAccepts) {
    const Engine& engine = LoadedEngine();
    ASSERT_NE(engine.attach, nullptr);
    for (int n : {0, -1, 34, 1000}) {
        const skin::ByteBlock none = skin::CarriedSkin(n);
        EXPECT_EQ(none.data, nullptr) << n;
        EXPECT_EQ(none.size, 0u) << n;
    }
    OnFreshThread([&] {
        for (int n = 1; n <= skin::kCarriedSkinCount; ++n) {
            const skin::ByteBlock block = skin::CarriedSkin(n);
            ASSERT_NE(block.data, nullptr) << n;
            ASSERT_GE(block.size, sizeof kMagic) << n;
            EXPECT_EQ(std::memcmp(block.data, kMagic, sizeof kMagic), 0) << n;
            // The program hands over a copy and frees it at once.
            std::vector<unsigned char> copy(block.data, block.data + block.size);
            EXPECT_EQ(engine.attach(copy.data(), static_cast<int>(copy.size()), "", 0, 0, 0), 1)
                << "skin " << n;
        }
    });
}

TEST(SkinEngine, CarriedEngineImageIsTheBuiltDll) {
    HANDLE file = CreateFileW((ExecutableFolder() + L"\\SkinH_EL.dll").c_str(), GENERIC_READ,
                              FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    std::vector<unsigned char> onDisk(GetFileSize(file, nullptr));
    DWORD read = 0;
    ReadFile(file, onDisk.data(), static_cast<DWORD>(onDisk.size()), &read, nullptr);
    CloseHandle(file);
    ASSERT_EQ(read, onDisk.size());
    const skin::ByteBlock image = skin::SkinEngineImage();
    ASSERT_EQ(image.size, onDisk.size());
    EXPECT_EQ(std::memcmp(image.data, onDisk.data(), image.size), 0);
    ASSERT_GE(image.size, 2u);
    EXPECT_EQ(image.data[0], 'M');
    EXPECT_EQ(image.data[1], 'Z');
}

// Windows made before and after the attach are painted alike.
class SkinsThreadWindows : public testing::TestWithParam<bool> {};

TEST_P(SkinsThreadWindows, FrameClientButtonsAndEdits) {
    const Engine& engine = LoadedEngine();
    ASSERT_NE(engine.attach, nullptr);
    const bool createFirst = GetParam();
    const std::vector<unsigned char> block = BuildSkin(TestEntries());
    OnFreshThread([&] {
        EXPECT_EQ(engine.aero(0), 1);
        HWND window = nullptr;
        HWND button = nullptr;
        HWND edit = nullptr;
        HWND label = nullptr;
        auto create = [&] {
            window = MakeTopLevel();
            button = MakeChild(window, L"Button", BS_PUSHBUTTON, 0, 20, 20, 120, 60);
            edit = MakeChild(window, L"Edit", ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 20, 100, 160, 40);
            label = MakeChild(window, L"Static", SS_LEFT, 0, 20, 160, 100, 40);
        };
        if (createFirst)
            create();
        std::vector<unsigned char> copy = block;
        ASSERT_EQ(engine.attach(copy.data(), static_cast<int>(copy.size()), "", 0, 0, 0), 1);
        copy.assign(copy.size(), 0); // the engine must have kept its own copy
        if (!createFirst)
            create();
        ASSERT_NE(window, nullptr);
        ShowWindow(window, SW_SHOWNOACTIVATE);
        UpdateWindow(window);
        Pump();

        // Client background, painted on screen and into a handed-over DC.
        HDC dc = GetDC(window);
        EXPECT_EQ(GetPixel(dc, 300, 300), RGB(12, 34, 56));
        ReleaseDC(window, dc);
        EXPECT_EQ(ClientColourByPrint(window, 250, 200), RGB(12, 34, 56));
        EXPECT_EQ(PrintedPixel(window, WM_PRINTCLIENT, PRF_CLIENT, 250, 200), RGB(12, 34, 56));

        // Title bar, printed with the frame.
        RECT rect{};
        GetWindowRect(window, &rect);
        EXPECT_EQ(PrintedPixel(window, WM_PRINT, PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND,
                               (rect.right - rect.left) / 2, CaptionMiddleY(window)),
                  RGB(200, 10, 10));

        // Push button face, printed into a foreign DC as a label does.
        EXPECT_EQ(PrintedPixel(button, WM_PRINTCLIENT, PRF_CLIENT, 8, 30), RGB(1, 200, 3));
        EXPECT_EQ(PrintedPixel(button, WM_PRINT, PRF_CLIENT | PRF_NONCLIENT, 8, 30),
                  RGB(1, 200, 3));

        // Edit colours come from the skin; the program keeps its own static colours.
        MemoryCanvas canvas(10, 10);
        const LRESULT editBrush =
            SendMessageW(window, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(canvas.dc),
                         reinterpret_cast<LPARAM>(edit));
        EXPECT_NE(editBrush, 0);
        EXPECT_EQ(GetBkColor(canvas.dc), RGB(250, 240, 200));
        EXPECT_EQ(SendMessageW(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(canvas.dc),
                               reinterpret_cast<LPARAM>(label)),
                  reinterpret_cast<LRESULT>(g_staticMarker));

        // Rounded corners follow the Aero setting.
        HRGN region = CreateRectRgn(0, 0, 0, 0);
        EXPECT_EQ(engine.aero(1), 1);
        EXPECT_NE(GetWindowRgn(window, region), ERROR);
        EXPECT_EQ(engine.aero(0), 1);
        EXPECT_EQ(GetWindowRgn(window, region), ERROR);
        DeleteObject(region);

        DestroyWindow(window);
        // Messages after the windows are gone must not trip the engine.
        EXPECT_EQ(engine.aero(1), 1);
        EXPECT_EQ(engine.aero(0), 1);
    });
}

INSTANTIATE_TEST_SUITE_P(BeforeAndAfterAttach, SkinsThreadWindows, testing::Values(true, false));

TEST(SkinEngine, LeavesDialogBoxesAlone) {
    const Engine& engine = LoadedEngine();
    ASSERT_NE(engine.attach, nullptr);
    const std::vector<unsigned char> block = BuildSkin(TestEntries());
    OnFreshThread([&] {
        ASSERT_EQ(engine.attach(block.data(), static_cast<int>(block.size()), "", 0, 0, 0), 1);
        // A one-button dialog template, class "#32770".
        struct alignas(4) Template {
            DLGTEMPLATE head;
            WORD menu, cls, title;
            DLGITEMTEMPLATE item;
            WORD itemClass[2];
            WCHAR itemText[3];
            WORD extra;
        } tpl{};
        tpl.head.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
        tpl.head.cdit = 1;
        tpl.head.cx = 120;
        tpl.head.cy = 60;
        tpl.item.style = WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON;
        tpl.item.x = 10;
        tpl.item.y = 10;
        tpl.item.cx = 50;
        tpl.item.cy = 14;
        tpl.item.id = IDOK;
        tpl.itemClass[0] = 0xFFFF;
        tpl.itemClass[1] = 0x0080; // button
        tpl.itemText[0] = L'O';
        tpl.itemText[1] = L'K';
        HWND dialog = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), &tpl.head, nullptr,
                                                 QuietDialogProc, 0);
        ASSERT_NE(dialog, nullptr);
        EXPECT_NE(ClientColourByPrint(dialog, 100, 60), RGB(12, 34, 56));
        HWND ok = GetDlgItem(dialog, IDOK);
        ASSERT_NE(ok, nullptr);
        EXPECT_NE(PrintedPixel(ok, WM_PRINTCLIENT, PRF_CLIENT, 4, 4), RGB(1, 200, 3));
        char text[8] = {};
        GetWindowTextA(ok, text, sizeof text);
        EXPECT_STREQ(text, "OK");
        DestroyWindow(dialog);
    });
}

} // namespace
