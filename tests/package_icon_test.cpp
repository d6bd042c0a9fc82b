// Taking the icon entry out of a package: which entry is found, what lands
// in the destination file, and that bad archives leave nothing behind.
#include <gtest/gtest.h>

#include <set>
#include "support/StandIn.h"
#include "support/TestImages.h"
#include "support/ZipMaker.h"
#include "tools/ApkTool.h"

namespace {

std::set<std::string> FilesIn(const std::string& strDir) {
    std::set<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((strDir + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        std::string strName = fd.cFileName;
        if (strName != "." && strName != "..") names.insert(strName);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return names;
}

class PackageIconExtract : public ::testing::Test {
protected:
    // Writes the archive as the current package and extracts strEntry.
    std::string Extract(const std::string& strZip, const std::string& strEntry) {
        EXPECT_TRUE(WriteFileBytes(m_strApk, strZip));
        return ExtractFromApk(strEntry);
    }
    std::string ExtractFromApk(const std::string& strEntry) {
        m_tool.SetApkPath(m_strApk);
        m_tool.m_strIconEntry = strEntry;
        m_tool.ExtractPackageIcon(m_strIcon);
        std::string strData;
        return ReadFileBytes(m_strIcon, strData) ? strData : std::string("<none>");
    }

    void SetUp() override {
        // Both folders' names hold a character whose trail byte is '\'.
        ASSERT_TRUE(CreateDirectoryA((m_apkDir / "安装包乗").c_str(), NULL));
        ASSERT_TRUE(CreateDirectoryA((m_iconDir / "乗").c_str(), NULL));
        m_strApk = m_apkDir / "安装包乗\\应用.apk";
        m_strIcon = m_iconDir / "乗\\com.example.tv1.2.png";
    }

    CTempDir m_apkDir;
    CTempDir m_iconDir;
    std::string m_strApk;
    std::string m_strIcon;
    CApkTool m_tool;
};

TEST_F(PackageIconExtract, WritesStoredAndDeflatedImagesUnchanged) {
    CGdiplusSession gdiplus;
    const std::string strPng = MakeSolidImage(L"image/png", 48, 0xFFFF0000);
    const std::string strJpeg = MakeSolidImage(L"image/jpeg", 96, 0xFF0000FF);
    ASSERT_FALSE(strPng.empty());
    ASSERT_FALSE(strJpeg.empty());
    ZipEntry png{"res/drawable/icon.png", strPng, false};
    ZipEntry jpeg{"res/drawable/photo.jpg", strJpeg, true};
    ZipEntry big{"classes.dex", std::string(200000, 'x'), true};
    const std::string strZip = MakeZip({big, png, jpeg});

    EXPECT_EQ(strPng, Extract(strZip, "res/drawable/icon.png"));
    // A second extraction replaces the file, and a JPEG is written as it is.
    EXPECT_EQ(strJpeg, Extract(strZip, "res/drawable/photo.jpg"));
    EXPECT_EQ(strJpeg, Extract(strZip, "res/drawable/photo.jpg"));
    EXPECT_EQ(std::set<std::string>{"com.example.tv1.2.png"}, FilesIn(m_iconDir / "乗"));
}

TEST_F(PackageIconExtract, FoldsAsciiLettersOnlyAndTakesTheFirstMatch) {
    const std::string strZip = MakeZip({
        {"res/mipmap/icon.png.bak", "longer"},
        {"res/mipmap/Icon.png", "first", false},
        {"res/mipmap/icon.png", "second"},
        {"res/\xE9t\xE9.png", "latin"},
        {"res/应用.png", "chinese"},
    });
    EXPECT_EQ("first", Extract(strZip, "RES/MIPMAP/ICON.PNG"));
    EXPECT_EQ("first", ExtractFromApk("res/mipmap/icon.png"));
    EXPECT_EQ("chinese", ExtractFromApk("RES/应用.png"));
    DeleteFileA(m_strIcon.c_str());
    // Only a to z are folded, and names must match whole.
    EXPECT_EQ("<none>", ExtractFromApk("res/\xC9T\xC9.png"));
    EXPECT_EQ("<none>", ExtractFromApk("res/mipmap/icon.pn"));
    EXPECT_EQ("<none>", ExtractFromApk("mipmap/icon.png"));
    EXPECT_EQ("<none>", ExtractFromApk(""));
}

TEST_F(PackageIconExtract, NamesOf256BytesOrMoreNeverMatch) {
    const std::string strName255 = "res/" + std::string(247, 'a') + ".png";
    const std::string strName256 = "res/" + std::string(248, 'a') + ".png";
    const std::string strName300 = "res/" + std::string(292, 'a') + ".png";
    ASSERT_EQ(255u, strName255.size());
    const std::string strZip = MakeZip({{strName300, "300"}, {strName256, "256"}, {strName255, "255"}});
    EXPECT_EQ("<none>", Extract(strZip, strName256));
    EXPECT_EQ("<none>", ExtractFromApk(strName300));
    // A wanted name that is the start of a longer stored one does not match it.
    EXPECT_EQ("255", ExtractFromApk(strName255));
}

TEST_F(PackageIconExtract, BadPackagesLeaveTheEarlierFileAndNothingElse) {
    const std::string strIcon(5000, 'i');
    const std::string strGood = MakeZip({{"icon.png", strIcon}});
    std::string strCorrupt = strGood;
    strCorrupt[40] ^= 0x55;  // inside the deflated data
    std::string strBomb = MakeZip({{"icon.png", std::string(16 * 1024 * 1024 + 1, '\0')}});
    ZipEntry liar{"icon.png", std::string(16 * 1024 * 1024 + 1, '\0')};
    liar.nDeclaredSize = 100;
    ZipEntry shortOne{"icon.png", strIcon};
    shortOne.nDeclaredSize = 6000;

    const struct {
        const char* pszWhat;
        std::string strPackage;
        bool bWrite;
    } cases[] = {
        {"missing package", "", false},
        {"not a zip", "PNG? no, just text that is long enough to look like something", true},
        {"truncated", strGood.substr(0, strGood.size() / 2), true},
        {"no such entry", MakeZip({{"other.png", "x"}}), true},
        {"corrupt data", strCorrupt, true},
        {"over the cap", strBomb, true},
        {"inflates past its declared size", MakeZip({liar}), true},
        {"shorter than declared", MakeZip({shortOne}), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszWhat);
        DeleteFileA(m_strApk.c_str());
        if (c.bWrite) {
            ASSERT_TRUE(WriteFileBytes(m_strApk, c.strPackage));
        }
        ASSERT_TRUE(WriteFileBytes(m_strIcon, "earlier"));
        EXPECT_EQ("earlier", ExtractFromApk("icon.png"));
        EXPECT_EQ(std::set<std::string>{"com.example.tv1.2.png"}, FilesIn(m_iconDir / "乗"));
        DeleteFileA(m_strIcon.c_str());
        EXPECT_EQ("<none>", ExtractFromApk("icon.png"));
        EXPECT_TRUE(FilesIn(m_iconDir / "乗").empty());
    }
    ASSERT_TRUE(WriteFileBytes(m_strApk, strGood));
    EXPECT_EQ(strIcon, ExtractFromApk("icon.png"));
}

TEST_F(PackageIconExtract, ReadsAPackageThatIsOpenElsewhere) {
    ASSERT_TRUE(WriteFileBytes(m_strApk, MakeZip({{"icon.png", "held"}})));
    CScopedFile other(CreateFileA(m_strApk.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, NULL));
    ASSERT_TRUE(other.IsValid());
    EXPECT_EQ("held", ExtractFromApk("icon.png"));
    // The archive is closed again: the package can be replaced.
    other.Reset();
    EXPECT_TRUE(DeleteFileA(m_strApk.c_str()));
}

}  // namespace
