// The icon file's name and painting it into a real picture control.
#include <gtest/gtest.h>

#include "package/IconPainter.h"
#include "support/StandIn.h"
#include "support/TestImages.h"

namespace {

TEST(IconFilePath, JoinsFolderPackageAndVersion) {
    EXPECT_EQ("C:\\T\\com.example.tv1.2.png", MakeIconFilePath("C:\\T\\", "com.example.tv", "1.2"));
    EXPECT_EQ("C:\\T\\.png", MakeIconFilePath("C:\\T\\", "", ""));
    // Double-byte characters stay whole, even with '\' or '|' as trail byte.
    EXPECT_EQ("C:\\T\\com.应用乗億2.0.png", MakeIconFilePath("C:\\T\\", "com.应用", "乗億2.0"));
}

TEST(IconFilePath, KeepsHostileNamesInsideTheFolder) {
    EXPECT_EQ("C:\\T\\com.x.._.._.._Users_Public_x.png",
              MakeIconFilePath("C:\\T\\", "com.x", "..\\..\\..\\Users\\Public\\x"));
    EXPECT_EQ("C:\\T\\a_b_c_________d.png", MakeIconFilePath("C:\\T\\", "a/b", ":c*?\"<>|\t\x01\x7F" "d"));
    // Half a character never joins with what follows into something else.
    EXPECT_EQ("C:\\T\\p_v__.png", MakeIconFilePath("C:\\T\\", "p\x81", "v\x81/"));
    // Names Windows takes for devices.
    EXPECT_EQ("C:\\T\\_nul.app1.png", MakeIconFilePath("C:\\T\\", "nul.app", "1"));
    EXPECT_EQ("C:\\T\\_CON.png", MakeIconFilePath("C:\\T\\", "CON", ""));
    EXPECT_EQ("C:\\T\\_com1 .x.png", MakeIconFilePath("C:\\T\\", "com1 ", ".x"));
    EXPECT_EQ("C:\\T\\console.png", MakeIconFilePath("C:\\T\\", "console", ""));

    CTempDir dir;
    const std::string strPath = MakeIconFilePath(dir.Path() + "\\", "com.x", "../..\\x:y");
    ASSERT_TRUE(WriteFileBytes(strPath, "icon"));
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir / "*.png").c_str(), &fd);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    FindClose(h);
    EXPECT_STREQ("com.x.._.._x_y.png", fd.cFileName);
}

// A window with a 64 x 64 picture control, and a GDI+ surface on the
// control's device context as the main window keeps one.
class IconPainter : public ::testing::Test {
protected:
    void SetUp() override {
        // Out of the way of a Davrel window another suite may be reading
        // from the screen meanwhile, and never covered by it.
        m_hParent = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE,
                                    GetSystemMetrics(SM_CXSCREEN) - 100, GetSystemMetrics(SM_CYSCREEN) - 100,
                                    100, 100, NULL, NULL, NULL, NULL);
        ASSERT_TRUE(m_hParent != NULL);
        m_hControl = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_BITMAP | SS_CENTERIMAGE, 20, 30,
                                     64, 64, m_hParent, NULL, NULL, NULL);
        ASSERT_TRUE(m_hControl != NULL);
        UpdateWindow(m_hParent);
        m_hdc = GetDC(m_hControl);
        m_pGraphics = new Gdiplus::Graphics(m_hdc);
        ASSERT_TRUE(CreateDirectoryA((m_dir / "图标乗").c_str(), NULL));
    }
    void TearDown() override {
        delete m_pGraphics;
        if (m_hdc) ReleaseDC(m_hControl, m_hdc);
        if (m_hParent) DestroyWindow(m_hParent);
    }
    std::string WriteIcon(const std::string& strName, const std::string& strBytes) {
        std::string strPath = m_dir / ("图标乗\\" + strName);
        EXPECT_TRUE(WriteFileBytes(strPath, strBytes));
        return strPath;
    }
    void Paint(const std::string& strPath) {
        PaintPackageIcon(m_pGraphics, m_hControl, strPath);
        GdiFlush();
    }
    COLORREF Pixel(int x, int y) { return GetPixel(m_hdc, x, y); }
    bool IsClear() {
        const COLORREF crFace = GetSysColor(COLOR_3DFACE);
        for (int y = 0; y < 64; y += 9)
            for (int x = 0; x < 64; x += 9)
                if (!NearColour(Pixel(x, y), crFace, 2)) return false;
        return NearColour(Pixel(63, 63), crFace, 2);
    }

    CGdiplusSession m_gdiplus;
    CTempDir m_dir;
    HWND m_hParent = NULL;
    HWND m_hControl = NULL;
    HDC m_hdc = NULL;
    Gdiplus::Graphics* m_pGraphics = NULL;
};

const COLORREF RED = RGB(255, 0, 0), GREEN = RGB(0, 255, 0), BLUE = RGB(0, 0, 255), WHITE = RGB(255, 255, 255);

TEST_F(IconPainter, StretchesPngAndJpegOverTheWholeControl) {
    const std::string strPng =
        WriteIcon("a1.png", MakeQuadrantImage(L"image/png", 16, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF));
    const std::string strJpeg =
        WriteIcon("b1.png", MakeQuadrantImage(L"image/jpeg", 96, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF));
    for (const std::string& strPath : {strPng, strJpeg}) {
        SCOPED_TRACE(strPath);
        Paint(strPath);
        EXPECT_TRUE(NearColour(Pixel(2, 2), RED));
        EXPECT_TRUE(NearColour(Pixel(58, 2), GREEN));
        EXPECT_TRUE(NearColour(Pixel(2, 58), BLUE));
        EXPECT_TRUE(NearColour(Pixel(58, 58), WHITE));
        EXPECT_TRUE(NearColour(Pixel(24, 24), RED));
        EXPECT_TRUE(NearColour(Pixel(40, 40), WHITE));
        // Nothing holds the file between paints.
        EXPECT_TRUE(DeleteFileA(strPath.c_str()));
    }
}

TEST_F(IconPainter, ClearsTheControlBeforeEveryPaint) {
    const std::string strRed = WriteIcon("red.png", MakeSolidImage(L"image/png", 48, 0xFFFF0000));
    const std::string strClear = WriteIcon("clear.png", MakeSolidImage(L"image/png", 48, 0x00000000));
    const std::string strText = WriteIcon("text.png", "not an image");
    Paint(strRed);
    ASSERT_TRUE(NearColour(Pixel(32, 32), RED));
    Paint(strClear);
    EXPECT_TRUE(IsClear()) << "a transparent icon shows the one before";

    for (const std::string& strNothing : {std::string(), strText, m_dir / "missing.png"}) {
        SCOPED_TRACE(strNothing);
        Paint(strRed);
        Paint(strNothing);
        EXPECT_TRUE(IsClear());
    }
}

}  // namespace
