// The package icon on screen: where its file lives in the temporary folder
// and how it is painted into the picture control.
#pragma once
#include <windows.h>
#include <gdiplus.h>
#include <string>

// The icon file for a package: temporary folder + package name + version
// name + ".png". Both names come from the package's author, so characters a
// file name cannot hold (\ / : * ? " < > | and control characters) become
// '_' and the file always lies directly in the temporary folder. Double-byte
// characters are kept whole.
std::string MakeIconFilePath(const std::string& strTempDir, const std::string& strPackage,
                             const std::string& strVersion);

// Clears the control to the dialog's background, then, when strIconData
// (the icon file's bytes, as taken out of the package) is an image GDI+
// reads, draws it stretched over the whole control. It is decoded from
// memory: nothing reads the icon file back.
void PaintPackageIcon(Gdiplus::Graphics* pGraphics, HWND hControl, const std::string& strIconData);
