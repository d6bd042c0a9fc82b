// The package icon in the real window: read back from the screen where the
// picture control is, after loading packages with and without icons.
#include "support/UiTest.h"

#include <functional>
#include <vector>
#include "support/TestImages.h"
#include "support/ZipMaker.h"

namespace {

const COLORREF RED = RGB(255, 0, 0), GREEN = RGB(0, 255, 0), BLUE = RGB(0, 0, 255), WHITE = RGB(255, 255, 255);

// What the screen shows of a window, pixel by pixel.
class CScreenShot {
public:
    explicit CScreenShot(HWND hwnd) {
        RECT rc;
        if (!GetWindowRect(hwnd, &rc)) return;
        m_nWidth = rc.right - rc.left;
        m_nHeight = rc.bottom - rc.top;
        m_pixels.resize(static_cast<size_t>(m_nWidth) * m_nHeight);
        HDC hScreen = GetDC(NULL);
        HDC hMem = CreateCompatibleDC(hScreen);
        BITMAPINFO bmi = {};
        bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
        bmi.bmiHeader.biWidth = m_nWidth;
        bmi.bmiHeader.biHeight = -m_nHeight;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 32;
        void* pBits = NULL;
        HBITMAP hBitmap = CreateDIBSection(hMem, &bmi, DIB_RGB_COLORS, &pBits, NULL, 0);
        HGDIOBJ hOld = SelectObject(hMem, hBitmap);
        if (pBits && BitBlt(hMem, 0, 0, m_nWidth, m_nHeight, hScreen, rc.left, rc.top, SRCCOPY)) {
            GdiFlush();
            const DWORD* p = static_cast<const DWORD*>(pBits);
            for (size_t i = 0; i < m_pixels.size(); ++i)  // BGRA in memory
                m_pixels[i] = RGB((p[i] >> 16) & 0xFF, (p[i] >> 8) & 0xFF, p[i] & 0xFF);
        }
        SelectObject(hMem, hOld);
        DeleteObject(hBitmap);
        DeleteDC(hMem);
        ReleaseDC(NULL, hScreen);
    }
    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    // x and y as a fraction of the width and height.
    COLORREF At(double x, double y) const {
        if (m_pixels.empty()) return CLR_INVALID;
        return m_pixels[static_cast<size_t>(y * (m_nHeight - 1)) * m_nWidth + static_cast<size_t>(x * (m_nWidth - 1))];
    }
    bool IsAll(COLORREF colour) const {
        for (COLORREF c : m_pixels)
            if (!NearColour(c, colour, 2)) return false;
        return !m_pixels.empty();
    }

private:
    int m_nWidth = 0;
    int m_nHeight = 0;
    std::vector<COLORREF> m_pixels;
};

class PackageIconUi : public CDavrelUiTest {
protected:
    // A package holding strIcon (if any) as the entry the report names.
    std::string MakeZipPackage(const std::string& strName, const std::string& strIcon) {
        std::vector<ZipEntry> entries = {{"AndroidManifest.xml", std::string(300, 'm')}};
        if (!strIcon.empty()) entries.push_back({"res/drawable/icon.png", strIcon});
        std::string strPath = m_app.MakeFolder("packages") + "\\" + strName;
        EXPECT_TRUE(WriteFileBytes(strPath, MakeZip(entries)));
        return strPath;
    }
    // From now on aapt describes every package with this version name (UTF-8).
    void ReportVersion(const std::string& strVersion) {
        ASSERT_TRUE(m_app.SetScript("aapt", AaptScript(BadgingReport(u8"演示播放器", DEMO_PACKAGE, strVersion, "8", {}))));
    }
    bool ShowsQuadrants(const CScreenShot& shot) {
        return shot.Width() > 16 && NearColour(shot.At(0.1, 0.1), RED) && NearColour(shot.At(0.85, 0.1), GREEN) &&
               NearColour(shot.At(0.1, 0.85), BLUE) && NearColour(shot.At(0.85, 0.85), WHITE);
    }
    // The screen may show the window's drawing a moment late.
    bool IconShows(const std::function<bool(const CScreenShot&)>& check) {
        m_app.Sync();
        return WaitUntil([&] { return check(CScreenShot(m_app.Item(IDC_STATIC_ICON))); }, 3000);
    }
    bool IconShowsQuadrants() {
        return IconShows([this](const CScreenShot& shot) { return ShowsQuadrants(shot); });
    }
    bool IconIsClear() {
        return IconShows([](const CScreenShot& shot) { return shot.IsAll(GetSysColor(COLOR_3DFACE)); });
    }

    CGdiplusSession m_gdiplus;
};

TEST_F(PackageIconUi, ShowsTheIconFromTheFirstDisplayAndAfterRepaints) {
    ReportVersion(u8"..\\..\\乗/x:1");  // must not stop the icon from showing
    std::string strPackage = MakeZipPackage(
        "demo.apk", MakeQuadrantImage(L"image/png", 16, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF));
    ASSERT_TRUE(StartWith(strPackage));
    EXPECT_TRUE(IconShowsQuadrants());

    RedrawWindow(m_app.Window(), NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    EXPECT_TRUE(IconShowsQuadrants()) << "lost on repaint";

    // A package without its icon, under a new version: nothing is shown.
    ReportVersion("2.0");
    ASSERT_TRUE(ChoosePackage(MakeZipPackage("none.apk", "")));
    EXPECT_TRUE(IconIsClear());
    RedrawWindow(m_app.Window(), NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    EXPECT_TRUE(IconIsClear());

    // A transparent icon does not let the one before show through.
    ReportVersion("3.0");
    ASSERT_TRUE(ChoosePackage(strPackage));
    EXPECT_TRUE(IconShowsQuadrants());
    ReportVersion("4.0");
    ASSERT_TRUE(ChoosePackage(MakeZipPackage("clear.apk", MakeSolidImage(L"image/png", 48, 0x00000000))));
    EXPECT_TRUE(IconIsClear());
    EXPECT_TRUE(CloseCleanly());
}

TEST_F(PackageIconUi, ShowsNothingBeforeAPackageIsLoaded) {
    ASSERT_TRUE(m_app.Start());
    EXPECT_TRUE(IconIsClear());
    EXPECT_TRUE(CloseCleanly());
}

}  // namespace
