// Conversions between UTF-16, UTF-8 (what the tools print) and the system
// code page (CP_ACP).
#pragma once
#include <string>

std::string WideToAnsi(const wchar_t* pszText);
std::wstring AnsiToWide(const std::string& strText);
// nCount bytes of UTF-8; characters the code page lacks become its default character.
std::string Utf8ToAnsi(const char* pUtf8, int nCount);
// A file path in the system code page that the tools can be handed. When the
// path holds characters that code page lacks, or is MAX_PATH or longer, its
// short (8.3) form is used, which the system keeps in plain ASCII; empty when
// there is no such form (short names switched off on that volume).
std::string WidePathToAnsi(const std::wstring& strPath);
