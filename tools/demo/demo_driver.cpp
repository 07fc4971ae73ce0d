// Shows the whole road once, as a person would go it: with the partner simulator running, types
// the save folder and the type jpg into Fennrow and presses Enter, then waits for the run to end.
// Usage: demo_driver.exe SAVE_FOLDER   (a Windows path; a final backslash is added)
#include "e2e_driver.h"

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: demo_driver SAVE_FOLDER\n");
        return 2;
    }
    HWND window = nullptr;
    e2e::WaitUntil(
        [&] { return (window = FindWindowA("FennrowMainWindow", "Fennrow")) != nullptr; }, 30000);
    if (window == nullptr) {
        std::fprintf(stderr, "Fennrow's window did not appear\n");
        return 1;
    }
    // The indicator turns blue once Fennrow has found the partner.
    HWND indicator = e2e::Child(window, 1003);
    e2e::WaitUntil([&] { return e2e::Text(indicator) == "CHK文件恢复专家已运行  可使用"; }, 10000);

    std::wstring folder = argv[1];
    if (folder.back() != L'\\') {
        folder += L'\\';
    }
    int bytes = WideCharToMultiByte(CP_ACP, 0, folder.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, folder.c_str(), -1, ansi.data(), bytes, nullptr, nullptr);
    ansi.resize(ansi.size() - 1);
    e2e::SetText(e2e::Child(window, 1009), ansi);

    HWND typeBox = e2e::Child(window, 1011);
    e2e::BringToForeground(window);
    e2e::FocusControl(typeBox);
    e2e::TypeText("jpg");
    e2e::PressKey(VK_RETURN);

    // The run has ended when the status line stops changing.
    HWND status = e2e::Child(window, 1005);
    std::string last;
    int steady = 0;
    e2e::WaitUntil(
        [&] {
            std::string now = e2e::Text(status);
            steady = now == last && !now.empty() && now != "恢复状态" ? steady + 1 : 0;
            last = now;
            return steady >= 10;
        },
        60000, 100);
    std::printf("status line: %s\n", last.c_str());
    return 0;
}
