// ui_profile: where the UI thread's share of a copy-run pass goes. Creates Fennrow's real main
// window (skin included) in this process and times, on its UI thread, the pieces a status write
// and a box read are made of, each repeated many times. Prints "RESULT key microseconds".
//
// ui_profile.exe [repetitions]
#include "app/main_window.h"
#include "job/job_state.h"
#include "platform/files.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

namespace {

constexpr int kStatusLine = 1005; // 透明标签3
constexpr int kTypeBox = 1011;    // 编辑框2
constexpr int kOpenButton = 1004; // 按钮3, partly beneath the status line

LARGE_INTEGER g_frequency;

double NowUs() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1e6 / static_cast<double>(g_frequency.QuadPart);
}

void Time(const char* name, int repetitions, const std::function<void(int)>& step) {
    step(0); // warm
    double started = NowUs();
    for (int i = 0; i < repetitions; ++i) {
        step(i);
    }
    std::printf("RESULT %s %.1f\n", name, (NowUs() - started) / repetitions);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    QueryPerformanceFrequency(&g_frequency);
    int repetitions = argc > 1 ? std::atoi(argv[1]) : 300;
    job::InitJobState();
    if (!app::CreateMainWindow()) {
        std::fprintf(stderr, "no main window\n");
        return 1;
    }
    HWND main = FindWindowA("FennrowMainWindow", "Fennrow");
    HWND status = GetDlgItem(main, kStatusLine);
    HWND box = GetDlgItem(main, kTypeBox);
    HWND button = GetDlgItem(main, kOpenButton);
    SetWindowTextA(box, "dat");
    for (int i = 0; i < 20; ++i) { // let the window settle
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&message);
        }
        Sleep(10);
    }
    std::string text = "Z:\\work\\main\\build\\bench-data\\small\\FILE00019.CHK";
    HDC screen = GetDC(status);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 256, 27);
    SelectObject(memory, bitmap);

    Time("status_write_total", repetitions, [&](int i) {
        text.back() = static_cast<char>('0' + i % 10);
        SetWindowTextA(status, text.c_str());
        RedrawWindow(status, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    });
    Time("set_window_text", repetitions, [&](int) { SetWindowTextA(status, text.c_str()); });
    Time("redraw_label", repetitions,
         [&](int) { RedrawWindow(status, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); });
    Time("begin_end_paint", repetitions, [&](int) {
        InvalidateRect(status, nullptr, FALSE);
        PAINTSTRUCT paint;
        BeginPaint(status, &paint);
        EndPaint(status, &paint);
    });
    Time("memory_dc_and_bitmap", repetitions, [&](int) {
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP b = CreateCompatibleBitmap(screen, 256, 27);
        HGDIOBJ old = SelectObject(dc, b);
        SelectObject(dc, old);
        DeleteObject(b);
        DeleteDC(dc);
    });
    Time("parent_erase_and_printclient", repetitions, [&](int) {
        SendMessageA(main, WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory), 0);
        SendMessageA(main, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT);
    });
    Time("fill_background", repetitions, [&](int) {
        RECT area{0, 0, 348, 366};
        FillRect(memory, &area, GetSysColorBrush(COLOR_BTNFACE));
    });
    Time("print_button_beneath", repetitions, [&](int) {
        SendMessageA(button, WM_PRINT, reinterpret_cast<WPARAM>(memory),
                     PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN);
    });
    Time("print_button_clipped", repetitions, [&](int) {
        HRGN clip = CreateRectRgn(241, 23, 256, 27);
        SelectClipRgn(memory, clip);
        SendMessageA(button, WM_PRINT, reinterpret_cast<WPARAM>(memory),
                     PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN);
        SelectClipRgn(memory, nullptr);
        DeleteObject(clip);
    });
    Time("print_button_client_only", repetitions, [&](int) {
        SendMessageA(button, WM_PRINT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT);
    });
    Time("find_siblings_beneath", repetitions, [&](int) {
        RECT labelRect;
        GetWindowRect(status, &labelRect);
        for (HWND sibling = GetWindow(status, GW_HWNDNEXT); sibling != nullptr;
             sibling = GetWindow(sibling, GW_HWNDNEXT)) {
            RECT siblingRect, overlap;
            GetWindowRect(sibling, &siblingRect);
            IsWindowVisible(sibling);
            IntersectRect(&overlap, &siblingRect, &labelRect);
        }
    });
    Time("label_text_draw", repetitions, [&](int) {
        SendMessageA(status, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT);
    });
    Time("get_dlg_item", repetitions, [&](int) { GetDlgItem(main, kStatusLine); });
    Time("box_read_two_messages", repetitions, [&](int) {
        char buffer[256];
        int length = GetWindowTextLengthA(box);
        GetWindowTextA(box, buffer, length + 1);
    });
    Time("box_read_one_message", repetitions, [&](int) {
        char buffer[256];
        GetWindowTextA(box, buffer, sizeof buffer);
    });
    Time("send_to_main_window", repetitions, [&](int) { SendMessageA(main, WM_NULL, 0, 0); });
    Time("send_to_status_label", repetitions, [&](int) { SendMessageA(status, WM_NULL, 0, 0); });
    // The worker's checks around each copy, on a folder of many files (argument 2).
    if (argc > 2) {
        std::string folder = argv[2];
        Time("entry_exists_missing", repetitions,
             [&](int) { platform::EntryExists(folder + "NOSUCHFILE.dat"); });
        Time("is_regular_file_source", repetitions,
             [&](int) { platform::IsRegularFile(folder + "FILE00019.CHK"); });
        Time("attributes_missing", repetitions,
             [&](int) { GetFileAttributesA((folder + "NOSUCHFILE.dat").c_str()); });
    }
    // The file work of a pass with and without a look at the target first, item by item in
    // turns into one folder that fills up (argument 3: an empty folder), so both see the same
    // folder sizes and the same load.
    if (argc > 3) {
        std::string sources = argv[2], folder = argv[3];
        double withLook = 0, withoutLook = 0;
        int count = std::atoi(argc > 4 ? argv[4] : "2000");
        for (int i = 0; i < count; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "FILE%05d", i);
            std::string source = sources + name + ".CHK", partial = folder + "~partial";
            std::string target = folder + name + ".dat";
            double started = NowUs();
            if (i % 2 == 0) {
                platform::EntryExists(target);
            }
            platform::CopyToNewFile(source, partial);
            platform::MoveToFreeName(partial, target);
            (i % 2 == 0 ? withLook : withoutLook) += NowUs() - started;
        }
        std::printf("RESULT copy_move_with_look_first %.1f\n", withLook / (count / 2));
        std::printf("RESULT copy_move_only %.1f\n", withoutLook / (count / 2));
    }
    DestroyWindow(main);
    return 0;
}
