// Paths and texts crossing between UTF-16 (shell, file dialog, links) and
// the program's code page.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include "framework/TextConvert.h"

TEST(TextConvert, ChineseTextRoundTripsThroughTheCodePage) {
    const std::string strGbk = "电视播放器.apk";  // GBK bytes at run time
    std::wstring strWide = AnsiToWide(strGbk);
    EXPECT_EQ(std::wstring(L"\u7535\u89c6\u64ad\u653e\u5668.apk"), strWide);
    EXPECT_EQ(strGbk, WideToAnsi(strWide.c_str()));
    EXPECT_EQ("", WideToAnsi(L""));
    EXPECT_EQ("", WideToAnsi(NULL));
    EXPECT_EQ(L"", AnsiToWide(""));
}

TEST(TextConvert, PathOutsideTheCodePageStillNamesTheFile) {
    wchar_t szTemp[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, szTemp), 0u);
    // Thai letters have no place in GBK: the plain conversion would give '?'.
    std::wstring strPath = std::wstring(szTemp) + L"davrel-\u0e01\u0e02-" + std::to_wstring(GetCurrentProcessId()) + L".apk";
    HANDLE hFile = CreateFileW(strPath.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, hFile);
    DWORD dwWritten = 0;
    WriteFile(hFile, "PK", 2, &dwWritten, NULL);
    CloseHandle(hFile);

    std::string strAnsi = WidePathToAnsi(strPath);
    EXPECT_EQ(std::string::npos, strAnsi.find('?')) << strAnsi;
    HANDLE hOpened = CreateFileA(strAnsi.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    EXPECT_NE(INVALID_HANDLE_VALUE, hOpened) << strAnsi;
    if (hOpened != INVALID_HANDLE_VALUE) CloseHandle(hOpened);
    DeleteFileW(strPath.c_str());

    // A path the code page holds is kept as it is, not shortened.
    std::wstring strPlain = std::wstring(szTemp) + L"\u7535\u89c6-no-such-file.apk";
    EXPECT_EQ(WideToAnsi(strPlain.c_str()), WidePathToAnsi(strPlain));
}
