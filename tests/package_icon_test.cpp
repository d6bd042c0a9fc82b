// The package icon: its file name from the package's own names, taking the
// entry out of the archive (with the zip reader bundles use too), and
// painting it for the picture control.
#include <gtest/gtest.h>
#include <windows.h>
#include <gdiplus.h>

#include "package/BundleArchive.h"
#include "package/IconPainter.h"
#include "support/MadeZip.h"
#include "support/StandIn.h"
#include "tools/ApkTool.h"

namespace {

TEST(IconFile, HostileNamesStayInsideTheFolder) {
    const struct { const char* pszPackage; const char* pszVersion; const char* pszFile; } CASES[] = {
        {"com.example.tv", "1.2", "com.example.tv1.2.png"},
        {"com.x", "..\\..\\..\\Users\\Public\\x", "com.x.._.._.._Users_Public_x.png"},
        {"a/b", ":c*?\"<>|\t\x01\x7F" "d", "a_b_c_________d.png"},
        {"com.应用", "乗億2.0", "com.应用乗億2.0.png"},  // trail bytes '\' and '|' stay in their character
        {"p\x81", "v\x81/", "p_v__.png"},                // half a character joins nothing
        {"nul.app", "1", "_nul.app1.png"}, {"console", "", "console.png"},
    };
    for (const auto& c : CASES)
        EXPECT_EQ(std::string("C:\\T\\") + c.pszFile, MakeIconFilePath("C:\\T\\", c.pszPackage, c.pszVersion));

    CTempDir dir;
    ASSERT_TRUE(WriteFileBytes(MakeIconFilePath(dir.Path() + "\\", "com.x", "../..\\x:y"), "icon"));
    EXPECT_TRUE(FileExists(dir / "com.x.._.._x_y.png"));
}

class IconExtract : public ::testing::Test {
protected:
    void SetUp() override {
        // A folder name whose second byte is '\': the path must not be cut there.
        ASSERT_TRUE(CreateDirectoryA((m_dir / "乗").c_str(), NULL));
        m_strApk = m_dir / "乗\\应用.apk";
        m_strIcon = m_dir / "乗\\icon1.2.png";
    }
    // Writes the package and extracts strEntry; "<none>" when no file was written.
    std::string Extract(const std::string& strPackage, const std::string& strEntry) {
        EXPECT_TRUE(WriteFileBytes(m_strApk, strPackage));
        DeleteFileA(m_strIcon.c_str());
        CApkTool tool;
        tool.SetApkPath(m_strApk);
        tool.m_strIconEntry = strEntry;
        std::string strPainted;  // what the window paints: the very bytes written
        bool bExtracted = tool.ExtractPackageIcon(m_strIcon, &strPainted);
        std::string strData;
        return ReadFileBytes(m_strIcon, strData) == bExtracted && bExtracted && strData == strPainted
                   ? strData : std::string("<none>");
    }
    CTempDir m_dir;
    std::string m_strApk, m_strIcon;
};

// A PNG's signature and header declaring its size, then filler.
std::string Png(uint32_t nSide, const std::string& strRest) {
    auto bigEndian = [](uint32_t n) { return std::string{char(n >> 24), char(n >> 16), char(n >> 8), char(n)}; };
    return std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16) + bigEndian(nSide) + bigEndian(nSide) + strRest;
}

TEST_F(IconExtract, WritesTheEntryUnchangedAndNothingForBadArchives) {
    const std::string strIcon = Png(192, std::string(5000, 'i'));
    const std::string strZip = MakeZip({{"classes.dex", std::string(100000, 'x')},
                                        {"res/Icon.png", Png(48, "stored"), false},
                                        {"res/drawable/icon.png", strIcon},
                                        {"huge.png", Png(40000, "")}});
    EXPECT_EQ(Png(48, "stored"), Extract(strZip, "RES/ICON.PNG"));  // ASCII letters fold
    EXPECT_EQ(strIcon, Extract(strZip, "res/drawable/icon.png"));
    EXPECT_EQ("<none>", Extract(strZip, "res/drawable/icon.pn"));
    EXPECT_EQ("<none>", Extract(strZip, "huge.png"));  // 1.6 gigapixels would take gigabytes to decode

    std::string strCorrupt = MakeZip({{"icon.png", strIcon}});
    strCorrupt[40] ^= 0x55;  // inside the deflated data
    ZipMember bomb{"icon.png", std::string(16 * 1024 * 1024 + 1, '\0')};
    ZipMember liar = bomb;
    liar.nDeclaredSize = 100;
    ZipMember shortOne{"icon.png", strIcon};
    shortOne.nDeclaredSize = 6000;
    const struct { const char* pszWhat; std::string strPackage; } BAD[] = {
        {"not a zip", "PNG? no, just text that is long enough to look like something"},
        {"truncated", strZip.substr(0, strZip.size() / 2)},
        {"corrupt data (CRC)", strCorrupt},
        {"over the size cap", MakeZip({bomb})},
        {"inflates past its declared size", MakeZip({liar})},
        {"shorter than declared", MakeZip({shortOne})},
    };
    for (const auto& c : BAD) EXPECT_EQ("<none>", Extract(c.strPackage, "icon.png")) << c.pszWhat;
}

// Each alone: a name over 512 bytes, a zero byte inside a name.
TEST(BundleArchive, OverlongNamesAndNamesWithAZeroAreRefused) {
    CTempDir dir;
    for (const std::string& strName : {std::string(600, 'a') + ".apk", std::string("a\0b.apk", 7)}) {
        ASSERT_TRUE(WriteFileBytes(dir / "b.apks", MakeZip({{"base.apk", "b"}, {strName, "x"}})));
        EXPECT_EQ(BUNDLE_UNSAFE_NAME, CBundleArchive().Open(dir / "b.apks", BUNDLE_APKS).issue) << strName.size();
    }
}

TEST(IconPainter, StretchesTheImageAndClearsBeforeEveryPaint) {
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    ASSERT_EQ(Gdiplus::Ok, Gdiplus::GdiplusStartup(&token, &input, NULL));
    {
        CTempDir dir;
        const CLSID PNG_ENCODER = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
        const std::string strRed = dir / "red.png", strClear = dir / "clear.png";
        for (const std::string& strPath : {strRed, strClear}) {  // 16 x 16 pixels: red, and wholly transparent
            Gdiplus::Bitmap image(16, 16, PixelFormat32bppARGB);
            Gdiplus::Graphics(&image).Clear(Gdiplus::Color(strPath == strRed ? 0xFFFF0000 : 0));
            ASSERT_EQ(Gdiplus::Ok, image.Save(std::wstring(strPath.begin(), strPath.end()).c_str(), &PNG_ENCODER, NULL));
        }
        // A 64 x 64 control; what is painted for it lands in a bitmap read back here.
        HWND hControl = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 64, 64, NULL, NULL, NULL, NULL);
        Gdiplus::Bitmap shown(64, 64, PixelFormat32bppARGB);
        Gdiplus::Graphics graphics(&shown);
        auto pixel = [&](int x, int y) {
            Gdiplus::Color colour;
            shown.GetPixel(x, y, &colour);
            return RGB(colour.GetR(), colour.GetG(), colour.GetB());
        };
        // Painted from the bytes in memory: the files are gone by then.
        std::string strRedData, strClearData;
        ASSERT_TRUE(ReadFileBytes(strRed, strRedData) && ReadFileBytes(strClear, strClearData));
        ASSERT_TRUE(DeleteFileA(strRed.c_str()) && DeleteFileA(strClear.c_str()));
        PaintPackageIcon(&graphics, hControl, strRedData);
        EXPECT_EQ(RGB(255, 0, 0), pixel(4, 4));
        EXPECT_EQ(RGB(255, 0, 0), pixel(58, 58)) << "not stretched over the control";
        PaintPackageIcon(&graphics, hControl, strClearData);
        EXPECT_EQ(GetSysColor(COLOR_3DFACE), pixel(32, 32)) << "a transparent icon shows the one before";
        DestroyWindow(hControl);
    }
    Gdiplus::GdiplusShutdown(token);
}

}  // namespace
