// The shipped 32-bit fennrow.exe, run for real (32-bit Wine under user-mode emulation) and
// operated from this 64-bit test program. Every start costs most of a minute here, so one start
// walks the whole road: engine file, window, partner, a short copy run, Esc.
#include "e2e/fennrow_session.h"
#include "support/partner_sim_client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

using namespace fennrow_test;

namespace {

// Emulation is slow: generous bounds, still bounded.
constexpr DWORD kLaunchIdleMs = 240000;
constexpr DWORD kWindowMs = 240000;
constexpr DWORD kStepMs = 120000;

std::wstring Env(const wchar_t* name) {
    wchar_t value[4096];
    DWORD n = GetEnvironmentVariableW(name, value, 4096);
    return n > 0 && n < 4096 ? std::wstring(value, n) : std::wstring();
}

template <typename T> bool ReadAt(const std::string& image, std::size_t offset, T* out) {
    if (offset > image.size() || image.size() - offset < sizeof(T)) {
        return false;
    }
    std::memcpy(out, image.data() + offset, sizeof(T));
    return true;
}

struct PeFacts {
    WORD machine = 0;
    WORD optionalMagic = 0;
    bool dll = false;
    std::set<std::string> exports;
};

// Reads the headers and the export names of a PE image from its bytes, by hand, so that a
// 64-bit test can inspect a 32-bit DLL. False when the image is not readable as PE.
bool ReadPe(const std::string& image, PeFacts* facts) {
    IMAGE_DOS_HEADER dos;
    if (!ReadAt(image, 0, &dos) || dos.e_magic != IMAGE_DOS_SIGNATURE) {
        return false;
    }
    std::size_t nt = static_cast<std::size_t>(dos.e_lfanew);
    DWORD signature = 0;
    IMAGE_FILE_HEADER file;
    if (!ReadAt(image, nt, &signature) || signature != IMAGE_NT_SIGNATURE ||
        !ReadAt(image, nt + 4, &file)) {
        return false;
    }
    facts->machine = file.Machine;
    facts->dll = (file.Characteristics & IMAGE_FILE_DLL) != 0;
    std::size_t optional = nt + 4 + sizeof(IMAGE_FILE_HEADER);
    if (!ReadAt(image, optional, &facts->optionalMagic) ||
        facts->optionalMagic != IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
        return true; // not PE32: the caller reports the magic
    }
    IMAGE_OPTIONAL_HEADER32 header;
    if (!ReadAt(image, optional, &header) ||
        header.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_EXPORT) {
        return false;
    }
    std::size_t sections = optional + file.SizeOfOptionalHeader;
    auto toOffset = [&](DWORD rva, std::size_t* offset) {
        for (WORD i = 0; i < file.NumberOfSections; ++i) {
            IMAGE_SECTION_HEADER section;
            if (!ReadAt(image, sections + i * sizeof(IMAGE_SECTION_HEADER), &section)) {
                return false;
            }
            DWORD size = std::max(section.Misc.VirtualSize, section.SizeOfRawData);
            if (rva >= section.VirtualAddress && rva < section.VirtualAddress + size) {
                *offset = rva - section.VirtualAddress + section.PointerToRawData;
                return true;
            }
        }
        return false;
    };
    DWORD exportRva = header.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress;
    std::size_t exportOffset = 0;
    IMAGE_EXPORT_DIRECTORY directory;
    if (exportRva == 0 || !toOffset(exportRva, &exportOffset) ||
        !ReadAt(image, exportOffset, &directory)) {
        return true; // no exports
    }
    std::size_t namesOffset = 0;
    if (!toOffset(directory.AddressOfNames, &namesOffset)) {
        return false;
    }
    for (DWORD i = 0; i < directory.NumberOfNames; ++i) {
        DWORD nameRva = 0;
        std::size_t nameOffset = 0;
        if (!ReadAt(image, namesOffset + i * 4, &nameRva) || !toOffset(nameRva, &nameOffset)) {
            return false;
        }
        std::size_t end = image.find('\0', nameOffset);
        if (end == std::string::npos) {
            return false;
        }
        facts->exports.insert(image.substr(nameOffset, end - nameOffset));
    }
    return true;
}

struct ExpectedControl {
    int id;
    const char* className;
    const char* text;
};

const ExpectedControl kControls[] = {
    {kOpenFolderButton, "Button", "打开目录"},
    {kStatusLine, "FennrowTransparentLabel", "恢复状态"},
    {kTypeCaption, "FennrowTransparentLabel", "文件类型："},
    {kChangeButton, "Button", "更改"},
    {kFolderCaption, "FennrowTransparentLabel", "保存目录："},
    {kFolderBox, "Edit", "D:\\CHK恢复\\"},
    {kTypeBox, "Edit", ""},
    {kStartButton, "Button", "开始工作"},
};

const char kPartnerRunning[] = "CHK文件恢复专家已运行  可使用";

} // namespace

TEST(Shipped32Bit, StartsCopiesAShortListAndEndsOnEsc) {
    std::wstring shipped = Env(L"FENNROW_X86_EXE");
    ASSERT_FALSE(shipped.empty()) << "FENNROW_X86_EXE names the 32-bit fennrow.exe";
    PeFacts program;
    ASSERT_TRUE(ReadPe(ReadFileBytes(shipped), &program));
    ASSERT_EQ(program.machine, IMAGE_FILE_MACHINE_I386) << "not the 32-bit build";

    // A fresh folder holding only the program.
    Session session;
    session.folder = MakeTempFolder(L"fennrow-x86");
    session.exe = session.folder + L"fennrow.exe";
    ASSERT_TRUE(CopyFileW(shipped.c_str(), session.exe.c_str(), FALSE));
    std::wstring found = MakeTempFolder(L"found-x86");
    std::wstring saveRoot = MakeTempFolder(L"save-x86");
    partner_sim::Sim sim;

    DWORD launched = GetTickCount();
    ASSERT_TRUE(e2e::Launch(session.exe, L"", session.folder, &session.process, kLaunchIdleMs));
    session.window =
        e2e::FindTopWindow(session.process.pid, "FennrowMainWindow", "Fennrow", kWindowMs);
    ASSERT_NE(session.window, nullptr) << "no main window";
    // For the log only: how long one emulated start takes.
    std::printf("[ x86      ] main window after %lu ms\n",
                static_cast<unsigned long>(GetTickCount() - launched));

    // The engine it carries, written beside it: a 32-bit DLL with undecorated stdcall exports.
    std::wstring engine = session.folder + L"SkinH_EL.dll";
    ASSERT_TRUE(Exists(engine));
    std::string engineBytes = ReadFileBytes(engine);
    PeFacts facts;
    ASSERT_TRUE(ReadPe(engineBytes, &facts));
    EXPECT_EQ(facts.machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_EQ(facts.optionalMagic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
    EXPECT_TRUE(facts.dll);
    EXPECT_TRUE(facts.exports.count("SkinH_AttachRes")) << "exports: " << facts.exports.size();
    EXPECT_TRUE(facts.exports.count("SkinH_SetAero"));
    for (const std::string& name : facts.exports) {
        EXPECT_EQ(name.find('@'), std::string::npos) << "decorated export " << name;
    }
    std::wstring engineCopy = Env(L"FENNROW_X86_ENGINE_COPY");
    if (!engineCopy.empty()) {
        // The script checks it once more with the Linux tools.
        EXPECT_TRUE(WriteFileBytes(engineCopy, engineBytes));
    }

    // No error box, in place, with its texts.
    EXPECT_EQ(e2e::FindMessageBox(session.process.pid, "", 3000), nullptr);
    RECT frame = e2e::WindowRect(session.window);
    int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_EQ(frame.right - frame.left, 348);
    EXPECT_EQ(frame.bottom - frame.top, 366);
    EXPECT_EQ(frame.left, (screenWidth - 348) / 2);
    EXPECT_EQ(frame.top, (screenHeight - 366) / 2);
    EXPECT_EQ(e2e::Text(session.window), "Fennrow");
    for (const ExpectedControl& expected : kControls) {
        SCOPED_TRACE("control " + std::to_string(expected.id));
        HWND control = session.Control(expected.id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(e2e::ClassName(control), expected.className);
        EXPECT_TRUE(e2e::IsShown(control));
        EXPECT_EQ(session.ControlText(expected.id), expected.text);
    }
    std::string indicator = session.ControlText(kIndicator);
    EXPECT_EQ(indicator.rfind("CHK文件恢复专家未运行", 0), 0u) << indicator;

    // The partner (64-bit simulator) with a short list; the indicator finds it.
    std::vector<std::wstring> items;
    partner_sim::StartOptions options;
    options.timeoutMs = 60000;
    for (int i = 0; i < 3; ++i) {
        wchar_t name[32];
        swprintf(name, 32, L"FILE%04d.CHK", i);
        items.push_back(found + name);
        // Sizes around the copy buffer's edges, content that names the file.
        std::string bytes = "content of " + ToAnsi(items.back()) + "\n";
        bytes.resize(static_cast<std::size_t>(1 + i * 70000), static_cast<char>('a' + i));
        ASSERT_TRUE(WriteFileBytes(items.back(), bytes));
        options.items.push_back(ToUtf8(items.back()));
    }
    ASSERT_TRUE(partner_sim::Start(sim, options));
    ASSERT_TRUE(e2e::WaitUntil([&] { return session.ControlText(kIndicator) == kPartnerRunning; },
                               kStepMs, 100))
        << session.ControlText(kIndicator);

    // The copy run, as a person starts it: save folder, type, Enter in the type box.
    std::wstring save = saveRoot + L"恢复\\";
    ASSERT_TRUE(e2e::SetText(session.Control(kFolderBox), ToAnsi(save)));
    ASSERT_TRUE(e2e::BringToForeground(session.window, 10000));
    ASSERT_TRUE(e2e::FocusControl(session.Control(kTypeBox), 10000));
    ASSERT_TRUE(e2e::TypeText("jpg"));
    ASSERT_TRUE(e2e::WaitUntil([&] { return session.ControlText(kTypeBox) == "jpg"; }, kStepMs));
    ASSERT_TRUE(e2e::PressKey(VK_RETURN));
    std::string last = ToAnsi(items.back());
    ASSERT_TRUE(
        e2e::WaitUntil([&] { return session.ControlText(kStatusLine) == last; }, kStepMs, 100))
        << session.ControlText(kStatusLine);
    for (int i = 0; i < 3; ++i) {
        wchar_t name[32];
        swprintf(name, 32, L"FILE%04d.jpg", i);
        std::wstring copy = save + L"jpg\\" + name;
        // The status shows the last item as its copy starts: wait for the file itself.
        EXPECT_TRUE(e2e::WaitUntil([&] { return ReadFileBytes(copy) == ReadFileBytes(items[i]); },
                                   kStepMs, 200))
            << i;
    }
    EXPECT_EQ(e2e::FindMessageBox(session.process.pid, "", 2000), nullptr);

    // Esc ends it with exit code 0.
    ASSERT_TRUE(e2e::BringToForeground(session.window, 10000));
    ASSERT_TRUE(e2e::FocusControl(session.Control(kTypeBox), 10000));
    ASSERT_TRUE(e2e::PressKey(VK_ESCAPE));
    EXPECT_EQ(session.WaitForExitCode(kStepMs), 0u);

    partner_sim::Kill(sim);
    RemoveTree(found);
    RemoveTree(saveRoot);
}
