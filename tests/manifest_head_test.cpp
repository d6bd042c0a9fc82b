// A split's head read from its compiled manifest: as aapt prints it, or not
// at all. What is not read goes to aapt, so every oddity must leave it unread.
#include <gtest/gtest.h>
#include <windows.h>

#include "package/ManifestHead.h"
#include "support/MadeZip.h"
#include "support/StandIn.h"

namespace {

const uint32_t NONE = 0xFFFFFFFF;
const uint8_t STRING = 0x03, INT_DEC = 0x10, INT_HEX = 0x11, REFERENCE = 0x01;

struct Attribute {
    uint32_t nNs, nName, nRaw;
    uint8_t nType;
    uint32_t nData;
};

// An element's start (with its attributes) or, with bEnd, its end.
struct Node {
    uint32_t nName;
    std::vector<Attribute> vecAttrs;
    bool bEnd = false;
};

// Compiled XML as aapt and bundletool write it: a string pool (UTF-16, or
// UTF-8), a resource map for the first strings, then the elements.
std::string CompiledXml(const std::vector<std::string>& vecStrings, const std::vector<uint32_t>& vecIds,
                        const std::vector<Node>& vecNodes, bool bUtf8 = false) {
    std::string strOffsets, strChars;
    for (const std::string& s : vecStrings) {
        strOffsets += Fields({{uint32_t(strChars.size()), 4}});
        if (bUtf8) {
            strChars += Fields({{uint32_t(s.size()), 1}, {uint32_t(s.size()), 1}}) + s + '\0';
        } else {
            strChars += Fields({{uint32_t(s.size()), 2}});
            for (char c : s) strChars += Fields({{uint8_t(c), 2}});
            strChars += Fields({{0, 2}});
        }
    }
    while (strChars.size() % 4) strChars += '\0';
    const uint32_t nPoolSize = 28 + uint32_t(strOffsets.size() + strChars.size());
    std::string strXml = Fields({{0x0001, 2}, {28, 2}, {nPoolSize, 4}, {uint32_t(vecStrings.size()), 4}, {0, 4},
                                 {bUtf8 ? 0x100u : 0u, 4}, {28 + uint32_t(strOffsets.size()), 4}, {0, 4}}) +
                         strOffsets + strChars;
    strXml += Fields({{0x0180, 2}, {8, 2}, {8 + 4 * uint32_t(vecIds.size()), 4}});
    for (uint32_t nId : vecIds) strXml += Fields({{nId, 4}});
    for (const Node& node : vecNodes) {
        if (node.bEnd) {
            strXml += Fields({{0x0103, 2}, {16, 2}, {24, 4}, {1, 4}, {NONE, 4}, {NONE, 4}, {node.nName, 4}});
            continue;
        }
        std::string strAttrs;
        for (const Attribute& a : node.vecAttrs)
            strAttrs += Fields({{a.nNs, 4}, {a.nName, 4}, {a.nRaw, 4}, {8, 2}, {0, 1}, {a.nType, 1}, {a.nData, 4}});
        strXml += Fields({{0x0102, 2}, {16, 2}, {36 + uint32_t(strAttrs.size()), 4}, {1, 4}, {NONE, 4}, {NONE, 4},
                          {node.nName, 4}, {20, 2}, {20, 2}, {uint32_t(node.vecAttrs.size()), 2}, {0, 2}, {0, 2}, {0, 2}}) +
                  strAttrs;
    }
    return Fields({{0x0003, 2}, {8, 2}, {8 + uint32_t(strXml.size()), 4}}) + strXml;
}

// String indexes of the manifest below.
enum { S_VERSION_CODE, S_MIN_SDK, S_MANIFEST, S_PACKAGE, S_NAME, S_SPLIT, S_CONFIG, S_ANDROID, S_OTHER,
       S_USES_SDK, S_COUNT };

// <manifest versionCode package split><uses-sdk minSdkVersion/></manifest>
struct Manifest {
    std::vector<std::string> vecStrings = {"versionCode", "minSdkVersion", "manifest", "package", "com.example.tv",
                                           "split", "config.x86", "http://schemas.android.com/apk/res/android", "x",
                                           "uses-sdk"};
    std::vector<uint32_t> vecIds = {0x0101021B, 0x0101020C};
    std::vector<Node> vecNodes = {
        {S_MANIFEST, {{S_ANDROID, S_VERSION_CODE, NONE, INT_DEC, 7}, {NONE, S_PACKAGE, S_NAME, STRING, S_NAME},
                      {NONE, S_SPLIT, S_CONFIG, STRING, S_CONFIG}}},
        {S_USES_SDK, {{S_ANDROID, S_MIN_SDK, NONE, INT_DEC, 21}}},
        {S_USES_SDK, {}, true},
        {S_MANIFEST, {}, true}};
    bool bUtf8 = false;
    std::vector<Attribute>& Attrs() { return vecNodes[0].vecAttrs; }
    Attribute& MinSdk() { return vecNodes[1].vecAttrs[0]; }
    std::string Xml() const { return CompiledXml(vecStrings, vecIds, vecNodes, bUtf8); }
};

std::string HeadText(const ManifestHead& head) {
    return head.bRead ? head.strPackage + " " + head.strVersionCode + " " + head.strSplit + " " + std::to_string(head.nMinSdk)
                      : "unread";
}

TEST(ManifestHead, ReadAsAaptPrintsItAndEachOddityLeftToAapt) {
    EXPECT_EQ("com.example.tv 7 config.x86 21", HeadText(ReadManifestHead(Manifest().Xml())));
    Manifest utf8;
    utf8.bUtf8 = true;
    EXPECT_EQ("com.example.tv 7 config.x86 21", HeadText(ReadManifestHead(utf8.Xml())));

    // aapt prints a version code that is not above 0 as empty; a base has no split.
    const struct { const char* pszCase; void (*change)(Manifest&); const char* pszRead; } CASES[] = {
        {"version code 0", [](Manifest& m) { m.Attrs()[0].nData = 0; }, "com.example.tv  config.x86 21"},
        {"negative version code", [](Manifest& m) { m.Attrs()[0].nData = 0x80000000; }, "com.example.tv  config.x86 21"},
        {"hex version code", [](Manifest& m) { m.Attrs()[0].nType = INT_HEX; }, "com.example.tv 7 config.x86 21"},
        {"no version code", [](Manifest& m) { m.Attrs().erase(m.Attrs().begin()); }, "com.example.tv  config.x86 21"},
        {"a base", [](Manifest& m) { m.Attrs().pop_back(); }, "com.example.tv 7  21"},
        {"split in a namespace", [](Manifest& m) { m.Attrs()[2].nNs = S_ANDROID; }, "com.example.tv 7  21"},
        {"another attribute", [](Manifest& m) { m.Attrs().push_back({NONE, S_OTHER, S_OTHER, STRING, S_OTHER}); },
         "com.example.tv 7 config.x86 21"},
        {"min SDK 0", [](Manifest& m) { m.MinSdk().nData = 0; }, "com.example.tv 7 config.x86 0"},
        // Each of these alone leaves the head to aapt.
        {"version code typed as text", [](Manifest& m) { m.Attrs()[0].nType = STRING; }, "unread"},
        {"version code a reference", [](Manifest& m) { m.Attrs()[0].nType = REFERENCE; }, "unread"},
        {"unmapped versionCode", [](Manifest& m) { m.vecIds.clear(); }, "unread"},
        {"version code twice", [](Manifest& m) { m.Attrs().push_back(m.Attrs()[0]); }, "unread"},
        {"no package", [](Manifest& m) { m.Attrs().erase(m.Attrs().begin() + 1); }, "unread"},
        {"package in a namespace", [](Manifest& m) { m.Attrs()[1].nNs = S_ANDROID; }, "unread"},
        {"package twice", [](Manifest& m) { m.Attrs().push_back(m.Attrs()[1]); }, "unread"},
        {"split twice", [](Manifest& m) { m.Attrs().push_back(m.Attrs()[2]); }, "unread"},
        {"package typed as a number", [](Manifest& m) { m.Attrs()[1].nType = INT_DEC; }, "unread"},
        {"package's text and value differ", [](Manifest& m) { m.Attrs()[1].nRaw = S_CONFIG; }, "unread"},
        {"package without text", [](Manifest& m) { m.Attrs()[1].nRaw = NONE; }, "unread"},
        {"package with a quote", [](Manifest& m) { m.vecStrings[S_NAME] = "com.ex'ample"; }, "unread"},
        {"package with a backslash", [](Manifest& m) { m.vecStrings[S_NAME] = "com\\example"; }, "unread"},
        {"package with a blank", [](Manifest& m) { m.vecStrings[S_NAME] = "com example"; }, "unread"},
        {"package beyond ASCII", [](Manifest& m) { m.vecStrings[S_NAME] = "com.\xe9xample"; }, "unread"},
        {"empty package", [](Manifest& m) { m.vecStrings[S_NAME].clear(); }, "unread"},
        {"split with a line break", [](Manifest& m) { m.vecStrings[S_CONFIG] = "config.x86\n"; }, "unread"},
        {"string past the pool", [](Manifest& m) { m.Attrs()[2].nRaw = m.Attrs()[2].nData = S_COUNT; }, "unread"},
        {"attribute name past the pool", [](Manifest& m) { m.Attrs()[2].nName = 1000; }, "unread"},
        {"first element not manifest", [](Manifest& m) { m.vecNodes[0].nName = S_PACKAGE; }, "unread"},
        // The oldest Android: a number right inside <manifest>, or not said.
        {"no uses-sdk", [](Manifest& m) { m.vecNodes.erase(m.vecNodes.begin() + 1, m.vecNodes.begin() + 3); },
         "com.example.tv 7 config.x86 0"},
        {"no minSdkVersion", [](Manifest& m) { m.vecNodes[1].vecAttrs.clear(); }, "com.example.tv 7 config.x86 0"},
        {"uses-sdk deeper in", [](Manifest& m) { m.vecNodes.insert(m.vecNodes.begin() + 1, {S_OTHER, {}}); m.vecNodes.insert(m.vecNodes.end() - 1, {S_OTHER, {}, true}); },
         "com.example.tv 7 config.x86 0"},
        {"minSdkVersion a codename", [](Manifest& m) { m.MinSdk() = {S_ANDROID, S_MIN_SDK, S_OTHER, STRING, S_OTHER}; }, "unread"},
        {"minSdkVersion a reference", [](Manifest& m) { m.MinSdk().nType = REFERENCE; }, "unread"},
        {"minSdkVersion twice", [](Manifest& m) { m.vecNodes[1].vecAttrs.push_back(m.MinSdk()); }, "unread"},
        {"uses-sdk twice", [](Manifest& m) { m.vecNodes.insert(m.vecNodes.begin() + 1, {{S_USES_SDK, {}}, {S_USES_SDK, {}, true}}); }, "unread"},
        {"manifest never ends", [](Manifest& m) { m.vecNodes.pop_back(); }, "unread"},
        {"an end without a start", [](Manifest& m) { m.vecNodes.push_back({S_MANIFEST, {}, true}); }, "unread"},
        {"a second root", [](Manifest& m) { m.vecNodes.push_back(m.vecNodes[0]); m.vecNodes.push_back(m.vecNodes[3]); }, "unread"},
    };
    for (const auto& c : CASES) {
        Manifest manifest;
        c.change(manifest);
        EXPECT_EQ(c.pszRead, HeadText(ReadManifestHead(manifest.Xml()))) << c.pszCase;
    }

    // Damage: every cut, and every byte broken, reads nothing or a plain head; never beyond the bytes.
    const std::string strXml = Manifest().Xml();
    for (size_t n = 0; n < strXml.size(); ++n)
        EXPECT_FALSE(ReadManifestHead(strXml.substr(0, n)).bRead) << "cut at " << n;
    for (size_t n = 0; n < strXml.size(); ++n)
        for (unsigned char cBroken : {0x00, 0x7F, 0x80, 0xFF}) {
            std::string strBroken = strXml;
            strBroken[n] = char(cBroken);
            ManifestHead head = ReadManifestHead(strBroken);
            EXPECT_TRUE(!head.bRead || head.strPackage.find_first_of("'\\ \x01") == std::string::npos) << n;
        }
    std::string strHuge = strXml;
    strHuge.replace(8 + 8, 4, Fields({{0x3FFFFFFF, 4}}));  // a pool declaring a billion strings
    EXPECT_FALSE(ReadManifestHead(strHuge).bRead);
}

TEST(ManifestHead, TakenFromThePackageOnlyUnderItsExactName) {
    CTempDir dir;
    const std::string strXml = Manifest().Xml();
    const struct { std::vector<ZipMember> vecEntries; const char* pszRead; } CASES[] = {
        {{{"res/a.png", "x"}, {"AndroidManifest.xml", strXml}}, "com.example.tv 7 config.x86 21"},
        {{{"androidmanifest.xml", strXml}}, "unread"},
        {{{"AndroidManifest.xml.bak", strXml}}, "unread"},
        {{{"AndroidManifest.xml", strXml, true, int64_t(strXml.size()) + 1}}, "unread"},  // ends short: damaged
    };
    for (const auto& c : CASES) {
        ASSERT_TRUE(WriteFileBytes(dir / "split.apk", MakeZip(c.vecEntries)));
        EXPECT_EQ(c.pszRead, HeadText(ReadPackageManifestHead(dir / "split.apk"))) << c.vecEntries[0].strName;
    }
    EXPECT_FALSE(ReadPackageManifestHead(dir / "missing.apk").bRead);
    ASSERT_TRUE(WriteFileBytes(dir / "plain.apk", strXml));
    EXPECT_FALSE(ReadPackageManifestHead(dir / "plain.apk").bRead) << "not a zip";
}

}  // namespace
