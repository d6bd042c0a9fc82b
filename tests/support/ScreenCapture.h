// What a window of any process shows on the screen, read back pixel by pixel.
#pragma once
#include <windows.h>
#include <vector>

struct ScreenPixels {
    int nWidth = 0;
    int nHeight = 0;
    std::vector<COLORREF> pixels;  // rows top to bottom
    COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y) * nWidth + x]; }
};

// The whole of hwnd (its window rectangle) as it is on the screen now; false
// when it could not be read (the window is hidden or the screen unreadable).
bool CaptureWindow(HWND hwnd, ScreenPixels& shot);
