// Conversions between UTF-16 and the system code page (CP_ACP).
#pragma once
#include <string>

std::string WideToAnsi(const wchar_t* pszText);
std::wstring AnsiToWide(const std::string& strText);
// A file path in the system code page that the tools can be handed. When the
// path holds characters that code page lacks, or is MAX_PATH or longer, its
// short (8.3) form is used, which the system keeps in plain ASCII; empty when
// there is no such form (short names switched off on that volume).
std::string WidePathToAnsi(const std::wstring& strPath);
