// The package size as the window shows it: three significant digits and a
// unit, written the way the C runtime's _gcvt writes a number with a
// precision of 3 ("1.5KB", "10.KB", "123MB", "1.02e+003KB").
#pragma once
#include <string>

std::string FormatFileSize(unsigned long long nBytes);

// The size of a file in bytes; false when it cannot be opened.
bool PackageFileBytes(const std::string& strPath, unsigned long long& nBytes);

// The size of a file as FormatFileSize writes it; empty when it cannot be opened.
std::string MeasurePackageFile(const std::string& strPath);
