// Every adb and aapt command line Davrel runs is made here: the tool's path
// in quotes, adb's global options (the device it talks to), then the
// subcommand and its arguments. A part that could change the line's meaning
// is refused, and a line with a refused part comes out empty, which the tool
// runner never starts.
#pragma once
#include <string>

class CCommandLine {
public:
    // adb, talking to the device with this serial ("H:P", or a USB serial);
    // an empty serial leaves the choice to adb.
    static CCommandLine Adb(const std::string& strAdbPath, const std::string& strSerial = std::string());
    static CCommandLine Aapt(const std::string& strAaptPath);

    // A plain word: ASCII letters, digits and - _ . : / = + @ , only.
    CCommandLine& Word(const std::string& strWord);
    // A path on this PC, in quotes: no quote, no control character, not empty.
    CCommandLine& Path(const std::string& strPath);
    // A package name for the TV's shell: ASCII letters, digits, '_' and '.'.
    CCommandLine& Package(const std::string& strName);
    // A line for the TV's shell, written by Davrel itself, in quotes.
    CCommandLine& Shell(const std::string& strScript);

    bool IsRefused() const { return m_bRefused; }
    // The whole line; empty when a part was refused or the tool is unknown.
    std::string Text() const { return m_bRefused ? std::string() : m_strLine; }

private:
    CCommandLine& Append(bool bAllowed, const std::string& strPart);
    std::string m_strLine;
    bool m_bRefused = false;
};

// Letters, digits and '_' and '.', not empty: nothing a shell reads as more.
bool IsSafePackageName(const std::string& strName);
