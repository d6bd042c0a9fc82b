#include "support/ScreenCapture.h"

#include "framework/ScopedWin.h"

namespace {
struct MemoryDcTraits {
    typedef HDC Type;
    static HDC Invalid() { return NULL; }
    static void Close(HDC h) { ::DeleteDC(h); }
};
typedef CScopedHandleT<MemoryDcTraits> CScopedDC;
}  // namespace

bool CaptureWindow(HWND hwnd, ScreenPixels& shot) {
    RECT rc = {};
    if (!hwnd || !IsWindowVisible(hwnd) || !GetWindowRect(hwnd, &rc)) return false;
    const POINT origin = {rc.left, rc.top};
    const int nWidth = rc.right - rc.left, nHeight = rc.bottom - rc.top;
    if (nWidth <= 0 || nHeight <= 0) return false;

    CScopedGetDC screen(NULL);
    if (!screen.Get()) return false;
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = nWidth;
    bmi.bmiHeader.biHeight = -nHeight;  // top-down
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* pBits = NULL;
    CScopedGdiObject bitmap(CreateDIBSection(screen.Get(), &bmi, DIB_RGB_COLORS, &pBits, NULL, 0));
    CScopedDC memory(CreateCompatibleDC(screen.Get()));
    if (!bitmap || !memory || !pBits) return false;
    HGDIOBJ hOld = SelectObject(memory.Get(), bitmap.Get());
    BOOL bCopied = BitBlt(memory.Get(), 0, 0, nWidth, nHeight, screen.Get(), origin.x, origin.y, SRCCOPY);
    SelectObject(memory.Get(), hOld);
    if (!bCopied) return false;
    GdiFlush();

    shot.nWidth = nWidth;
    shot.nHeight = nHeight;
    shot.pixels.resize(static_cast<size_t>(nWidth) * nHeight);
    const DWORD* pSource = static_cast<const DWORD*>(pBits);
    for (size_t i = 0; i < shot.pixels.size(); ++i) {
        DWORD v = pSource[i];  // 0x00RRGGBB
        shot.pixels[i] = RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    return true;
}
