// Real image files for the icon tests, encoded by GDI+ itself.
#pragma once
#include <windows.h>
#include <gdiplus.h>
#include <string>

// GDI+ for the life of the object.
class CGdiplusSession {
public:
    CGdiplusSession();
    ~CGdiplusSession();
    CGdiplusSession(const CGdiplusSession&) = delete;
    CGdiplusSession& operator=(const CGdiplusSession&) = delete;
private:
    ULONG_PTR m_token = 0;
};

// An image of nSize x nSize pixels in four quadrants: top-left, top-right,
// bottom-left, bottom-right. Colours are ARGB. strMime is "image/png" or
// "image/jpeg". Empty on failure.
std::string MakeQuadrantImage(const wchar_t* pszMime, int nSize, Gdiplus::ARGB topLeft,
                              Gdiplus::ARGB topRight, Gdiplus::ARGB bottomLeft, Gdiplus::ARGB bottomRight);

// Same in one colour.
inline std::string MakeSolidImage(const wchar_t* pszMime, int nSize, Gdiplus::ARGB colour) {
    return MakeQuadrantImage(pszMime, nSize, colour, colour, colour, colour);
}

// True when the colours are the same within a tolerance per channel (JPEG
// and scaling blur the edges a little).
bool NearColour(COLORREF actual, COLORREF expected, int nTolerance = 40);
