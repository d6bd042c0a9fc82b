// Test helpers: files, temporary folders and the scripted stand-in tool
// (tests/standin/fake_tool.cpp documents its script language).
#pragma once
#include <string>
#include <vector>

std::string BinDir();  // the running test program's folder, with a trailing backslash
bool WriteFileBytes(const std::string& strPath, const std::string& strData);
bool ReadFileBytes(const std::string& strPath, std::string& strData);
bool FileExists(const std::string& strPath);
bool RemoveTree(const std::string& strPath);  // true when the folder is gone

// A fresh folder under the temporary folder, removed with its contents.
class CTempDir {
public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;
    const std::string& Path() const { return m_strPath; }  // no trailing backslash
    std::string operator/(const std::string& strName) const { return m_strPath + "\\" + strName; }
private:
    std::string m_strPath;
};

// Copies the stand-in to <strDir>\<strName>.exe with the script; returns the exe's path.
std::string InstallStandIn(const std::string& strDir, const std::string& strName, const std::string& strScript);
// The command lines in the stand-in's record (".log": every start, ".held": runs that hang).
std::vector<std::string> RecordedCalls(const std::string& strExePath, const char* pszExt = ".log");
// A command line without the tool's path (quoted or not) and the blank after it.
std::string ArgumentsOf(const std::string& strCommandLine);
std::string ScriptText(const std::string& strBytes);  // escapes bytes for the script's texts
