// Reading a package's icon entry out of the package (a zip archive), and
// writing it into a file of its own so the window can paint it.
#pragma once
#include <string>

// The whole entry named strEntry (ASCII letters folded), checked against its
// size and CRC and only when it is a picture of sane size; false otherwise.
bool ReadIconEntry(const std::string& strArchive, const std::string& strEntry, std::string& strData);

// Writes beside strDestination first and then puts the file in its place,
// so a failure never leaves a half-written icon or spoils an earlier one.
bool ReplaceIconFile(const std::string& strDestination, const std::string& strData);
