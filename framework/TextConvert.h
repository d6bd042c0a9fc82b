// Conversions between UTF-16 and the system code page (CP_ACP).
#pragma once
#include <string>

std::string WideToAnsi(const wchar_t* pszText);
std::wstring AnsiToWide(const std::string& strText);
// A file path in the system code page. When the path holds characters that
// code page lacks, its short (8.3) form is used, which the system keeps in
// plain ASCII; if there is none, the lossy conversion is returned.
std::string WidePathToAnsi(const std::wstring& strPath);
