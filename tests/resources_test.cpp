// Reads the resources linked into Davrel.exe (beside this test) and checks
// what the window code and the system rely on: the list items of the main
// window, its tab order, the system-menu string, the icon images and the
// manifest.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "../resources/resource.h"

namespace {

// The list-item message of the initialisation data is the 16-bit era's
// CB_ADDSTRING (WM_USER + 3), not today's 0x0143.
constexpr WORD INIT_CB_ADDSTRING = 0x0403;

class ResourcesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char path[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, path, MAX_PATH);
        std::string exe(path);
        exe = exe.substr(0, exe.rfind('\\') + 1) + "Davrel.exe";
        s_module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    static void TearDownTestSuite() {
        if (s_module) FreeLibrary(s_module);
        s_module = nullptr;
    }
    void SetUp() override { ASSERT_NE(s_module, nullptr) << "Davrel.exe not found beside the test"; }

    static std::string Bytes(LPCSTR type, int id) {
        HRSRC res = FindResourceA(s_module, MAKEINTRESOURCEA(id), type);
        if (!res) return std::string();
        HGLOBAL data = LoadResource(s_module, res);
        const char* p = static_cast<const char*>(LockResource(data));
        return p ? std::string(p, SizeofResource(s_module, res)) : std::string();
    }

    static HMODULE s_module;
};
HMODULE ResourcesTest::s_module = nullptr;

template <typename T>
T Read(const std::string& s, size_t& at) {
    T v{};
    if (at + sizeof(T) <= s.size()) std::memcpy(&v, s.data() + at, sizeof(T));
    at += sizeof(T);
    return v;
}

// Skips a template field that is either 0, 0xFFFF + ordinal, or a zero-ended UTF-16 text.
void SkipSzOrOrd(const std::string& s, size_t& at) {
    WORD w = Read<WORD>(s, at);
    if (w == 0xFFFF) { at += 2; return; }
    while (w != 0 && at < s.size()) w = Read<WORD>(s, at);
}

TEST_F(ResourcesTest, LocationListItemsAreGbkRecordsInOrder) {
    std::string init = Bytes(MAKEINTRESOURCEA(240), IDD_DAVREL_DIALOG);
    std::vector<std::string> items;
    size_t at = 0;
    while (at + 2 <= init.size()) {
        WORD id = Read<WORD>(init, at);
        if (id == 0) break;
        WORD msg = Read<WORD>(init, at);
        DWORD len = Read<DWORD>(init, at);
        ASSERT_EQ(id, IDC_COMBO_LOCATION);
        ASSERT_EQ(msg, INIT_CB_ADDSTRING);
        ASSERT_LE(at + len, init.size());
        items.push_back(init.substr(at, len));
        at += len;
    }
    // Each text carries its terminating zero; the records end with a zero id.
    EXPECT_EQ(items, (std::vector<std::string>{std::string("SD卡", 5), std::string("电视", 5)}));
    EXPECT_EQ(at, init.size());
}

TEST_F(ResourcesTest, MainWindowTabOrderAndAboutBoxExist) {
    std::string dlg = Bytes(RT_DIALOG, IDD_DAVREL_DIALOG);
    ASSERT_GT(dlg.size(), 26u);
    size_t at = 0;
    ASSERT_EQ(Read<WORD>(dlg, at), 1);       // DIALOGEX
    ASSERT_EQ(Read<WORD>(dlg, at), 0xFFFF);
    at += 8;                                 // help id, extended style
    DWORD style = Read<DWORD>(dlg, at);
    WORD count = Read<WORD>(dlg, at);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME),
              DWORD(WS_CAPTION | WS_SYSMENU | DS_MODALFRAME));
    at += 8;                                 // position and size
    SkipSzOrOrd(dlg, at);                    // menu
    SkipSzOrOrd(dlg, at);                    // class
    SkipSzOrOrd(dlg, at);                    // title
    at += 6;                                 // point size, weight, italic, charset
    SkipSzOrOrd(dlg, at);                    // font name

    std::vector<int> tabStops;
    for (WORD i = 0; i < count; ++i) {
        at = (at + 3) & ~size_t(3);
        at += 8;                             // help id, extended style
        DWORD ctlStyle = Read<DWORD>(dlg, at);
        at += 8;
        DWORD id = Read<DWORD>(dlg, at);
        SkipSzOrOrd(dlg, at);                // class
        SkipSzOrOrd(dlg, at);                // text
        WORD extra = Read<WORD>(dlg, at);    // creation data
        at += extra;
        if (ctlStyle & WS_TABSTOP) tabStops.push_back(int(id));
    }
    EXPECT_EQ(tabStops, (std::vector<int>{IDC_BTN_CONNECT, IDC_BTN_INSTALL, IDC_BTN_UNINSTALL, IDCANCEL,
                                          IDC_BTN_ABOUT, IDC_CHK_ASSOCIATE, IDC_LINK_CREDIT,
                                          IDC_COMBO_LOCATION, IDC_LINK_PERMISSIONS, IDC_BTN_SELECT,
                                          IDC_LINK_STATUS, IDC_EDIT_ADDRESS, IDC_BTN_REFRESH}));
    EXPECT_FALSE(Bytes(RT_DIALOG, IDD_ABOUTBOX).empty());
}

TEST_F(ResourcesTest, SystemMenuStringAndManifest) {
    wchar_t text[64] = {};
    LoadStringW(s_module, IDS_ABOUTBOX, text, 64);
    EXPECT_EQ(std::wstring(text), L"关于 Davrel(&A)...");

    std::string manifest = Bytes(MAKEINTRESOURCEA(24), 1);
    EXPECT_NE(manifest.find("level=\"highestAvailable\""), std::string::npos);
    EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(manifest.find(">true</dpiAware>"), std::string::npos);
}

TEST_F(ResourcesTest, IconGroupHoldsPngAndThreeDibImages) {
    std::string group = Bytes(RT_GROUP_ICON, IDR_MAINFRAME);
    size_t at = 4;
    WORD count = Read<WORD>(group, at);
    ASSERT_EQ(count, 4);
    const int sizes[] = {256, 48, 32, 16};
    for (int i = 0; i < 4; ++i) {
        at = 6 + 14 * i;
        int width = BYTE(group[at]) ? BYTE(group[at]) : 256;
        at += 6;
        WORD bits = Read<WORD>(group, at);
        at += 4;
        WORD imageId = Read<WORD>(group, at);
        EXPECT_EQ(width, sizes[i]);
        EXPECT_EQ(bits, 32);
        std::string image = Bytes(RT_ICON, imageId);
        ASSERT_GT(image.size(), 40u);
        if (sizes[i] == 256) {
            EXPECT_EQ(image.substr(0, 8), "\x89PNG\r\n\x1a\n");
        } else {
            BITMAPINFOHEADER h;
            std::memcpy(&h, image.data(), sizeof h);
            EXPECT_EQ(h.biWidth, sizes[i]);
            EXPECT_EQ(h.biHeight, 2 * sizes[i]);  // colour image and AND mask
            EXPECT_EQ(h.biBitCount, 32);
            size_t mask = ((sizes[i] + 31) / 32) * 4 * sizes[i];
            EXPECT_EQ(image.size(), 40 + size_t(sizes[i]) * sizes[i] * 4 + mask);
        }
    }
}

}  // namespace
