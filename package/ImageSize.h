// An image's dimensions read from its header alone, so that an icon whose
// header declares an enormous picture is refused before anything decodes it.
#pragma once
#include <string>

// Largest icon Davrel decodes: launcher icons are at most 512 pixels a side.
const unsigned MAX_ICON_SIDE = 4096;

// PNG, JPEG, GIF and BMP; false for anything else or a damaged header.
bool ReadImageSize(const std::string& strData, unsigned& nWidth, unsigned& nHeight);

// True when the image's header can be read and it fits MAX_ICON_SIDE.
bool IsDrawableIcon(const std::string& strData);
