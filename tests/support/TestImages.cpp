#include "support/TestImages.h"

#include <cstdlib>
#include <vector>
#include "framework/ScopedWin.h"

CGdiplusSession::CGdiplusSession() {
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&m_token, &input, NULL);
}

CGdiplusSession::~CGdiplusSession() {
    if (m_token) Gdiplus::GdiplusShutdown(m_token);
}

namespace {

bool FindEncoder(const wchar_t* pszMime, CLSID& clsid) {
    UINT nCount = 0, nBytes = 0;
    if (Gdiplus::GetImageEncodersSize(&nCount, &nBytes) != Gdiplus::Ok || nBytes == 0) return false;
    std::vector<BYTE> buffer(nBytes);
    auto* pCodecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(nCount, nBytes, pCodecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < nCount; ++i) {
        if (wcscmp(pCodecs[i].MimeType, pszMime) == 0) {
            clsid = pCodecs[i].Clsid;
            return true;
        }
    }
    return false;
}

}  // namespace

std::string MakeQuadrantImage(const wchar_t* pszMime, int nSize, Gdiplus::ARGB topLeft,
                              Gdiplus::ARGB topRight, Gdiplus::ARGB bottomLeft, Gdiplus::ARGB bottomRight) {
    CLSID clsid;
    if (!FindEncoder(pszMime, clsid)) return std::string();
    Gdiplus::Bitmap bitmap(nSize, nSize, PixelFormat32bppARGB);
    const int nHalf = nSize / 2;
    for (int y = 0; y < nSize; ++y) {
        for (int x = 0; x < nSize; ++x) {
            Gdiplus::ARGB c = y < nHalf ? (x < nHalf ? topLeft : topRight) : (x < nHalf ? bottomLeft : bottomRight);
            bitmap.SetPixel(x, y, Gdiplus::Color(c));
        }
    }
    CComPtrLite<IStream> stream;
    if (FAILED(::CreateStreamOnHGlobal(NULL, TRUE, stream.Receive()))) return std::string();
    if (bitmap.Save(stream.Get(), &clsid, NULL) != Gdiplus::Ok) return std::string();
    HGLOBAL hMem = NULL;
    STATSTG stat = {};
    if (FAILED(::GetHGlobalFromStream(stream.Get(), &hMem)) || FAILED(stream->Stat(&stat, STATFLAG_NONAME)))
        return std::string();
    const char* p = static_cast<const char*>(::GlobalLock(hMem));
    std::string strBytes(p, static_cast<size_t>(stat.cbSize.QuadPart));
    ::GlobalUnlock(hMem);
    return strBytes;
}

bool NearColour(COLORREF actual, COLORREF expected, int nTolerance) {
    return std::abs(GetRValue(actual) - GetRValue(expected)) <= nTolerance &&
           std::abs(GetGValue(actual) - GetGValue(expected)) <= nTolerance &&
           std::abs(GetBValue(actual) - GetBValue(expected)) <= nTolerance;
}
