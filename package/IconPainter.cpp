#include "package/IconPainter.h"

#include "framework/StrUtil.h"
#include <shlwapi.h>

namespace {

bool IsForbiddenInFileName(unsigned char c) {
    return c < 0x20 || c == 0x7F || c == '\\' || c == '/' || c == ':' || c == '*' || c == '?' ||
           c == '"' || c == '<' || c == '>' || c == '|';
}

// True when the two bytes at p form one valid character of the system code
// page; only then may a trail byte such as '\' or '|' be kept.
bool IsWholeDoubleByteChar(const char* p) {
    if (!::IsDBCSLeadByte(static_cast<BYTE>(p[0])) || p[1] == '\0') return false;
    WCHAR wc[2];
    return ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, p, 2, wc, 2) == 1;
}

// Copies a name chosen by the package's author so that it can only ever be
// part of one file name: no separators, no stream or wildcard characters.
void AppendSafeName(std::string& strOut, const std::string& strName) {
    const char* p = strName.c_str();
    const char* pEnd = p + strName.size();
    while (p < pEnd) {
        if (IsWholeDoubleByteChar(p)) {
            strOut.append(p, 2);
            p += 2;
        } else {
            unsigned char c = static_cast<unsigned char>(*p);
            // A lead byte without a valid trail byte is half a character.
            strOut += (IsForbiddenInFileName(c) || ::IsDBCSLeadByte(c)) ? '_' : char(c);
            ++p;
        }
    }
}

// Windows opens a device, not a file, for names such as "nul.x.png" or
// "COM1.png" (the part before the first dot, trailing spaces ignored).
bool IsDeviceName(const std::string& strFileName) {
    std::string strBase = strFileName.substr(0, strFileName.find('.'));
    while (!strBase.empty() && strBase.back() == ' ') strBase.pop_back();
    if (strBase.size() == 3) {
        for (const char* pDevice : {"CON", "PRN", "AUX", "NUL"})
            if (EqualsNoCase(strBase, pDevice)) return true;
    }
    if (strBase.size() == 4 && strBase[3] >= '0' && strBase[3] <= '9') {
        std::string strKind = strBase.substr(0, 3);
        return EqualsNoCase(strKind, "COM") || EqualsNoCase(strKind, "LPT");
    }
    return false;
}

}  // namespace

std::string MakeIconFilePath(const std::string& strTempDir, const std::string& strPackage,
                             const std::string& strVersion) {
    std::string strFileName;
    AppendSafeName(strFileName, strPackage);
    AppendSafeName(strFileName, strVersion);
    strFileName += ".png";
    if (IsDeviceName(strFileName)) strFileName.insert(0, "_");
    return strTempDir + strFileName;
}

void PaintPackageIcon(Gdiplus::Graphics* pGraphics, HWND hControl, const std::string& strIconData) {
    if (!pGraphics || !hControl) return;
    RECT rc;
    if (!::GetWindowRect(hControl, &rc)) return;
    const INT nWidth = rc.right - rc.left;
    const INT nHeight = rc.bottom - rc.top;

    // Erase first: a transparent icon must not show the previous one through,
    // and a package without an icon must not keep it.
    COLORREF crFace = ::GetSysColor(COLOR_3DFACE);
    Gdiplus::SolidBrush brush(Gdiplus::Color(GetRValue(crFace), GetGValue(crFace), GetBValue(crFace)));
    pGraphics->FillRectangle(&brush, 0, 0, nWidth, nHeight);

    if (strIconData.empty()) return;
    // The stream holds its own copy of the bytes; the image reads it until released.
    IStream* pStream = ::SHCreateMemStream(reinterpret_cast<const BYTE*>(strIconData.data()),
                                           static_cast<UINT>(strIconData.size()));
    if (!pStream) return;
    {
        Gdiplus::Image image(pStream, FALSE);
        if (image.GetLastStatus() == Gdiplus::Ok) pGraphics->DrawImage(&image, Gdiplus::Rect(0, 0, nWidth, nHeight));
    }
    pStream->Release();
}
