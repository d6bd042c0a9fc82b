// Reading a package's icon entry out of the package (a zip archive).
#pragma once
#include <string>

// The whole entry named strEntry (ASCII letters folded), checked against its
// size and CRC and only when it is a picture of sane size; false otherwise.
bool ReadIconEntry(const std::string& strArchive, const std::string& strEntry, std::string& strData);
