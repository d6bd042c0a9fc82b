#include "package/ImageSize.h"

namespace {

unsigned Byte(const std::string& s, size_t i) { return static_cast<unsigned char>(s[i]); }
unsigned BigEndian16(const std::string& s, size_t i) { return Byte(s, i) << 8 | Byte(s, i + 1); }
unsigned BigEndian32(const std::string& s, size_t i) { return BigEndian16(s, i) << 16 | BigEndian16(s, i + 2); }
unsigned LittleEndian16(const std::string& s, size_t i) { return Byte(s, i) | Byte(s, i + 1) << 8; }
unsigned LittleEndian32(const std::string& s, size_t i) { return LittleEndian16(s, i) | LittleEndian16(s, i + 2) << 16; }

// The frame header (SOF0..SOF15 but DHT, JPG and DAC) gives the size; the
// segments before it are skipped by their lengths.
bool ReadJpegSize(const std::string& s, unsigned& nWidth, unsigned& nHeight) {
    size_t i = 2;
    while (i + 9 < s.size()) {
        if (Byte(s, i) != 0xFF) return false;
        unsigned nMarker = Byte(s, i + 1);
        if (nMarker == 0xFF) { ++i; continue; }  // fill byte
        if (nMarker == 0xD8 || (nMarker >= 0xD0 && nMarker <= 0xD7) || nMarker == 0x01) { i += 2; continue; }
        if (nMarker >= 0xC0 && nMarker <= 0xCF && nMarker != 0xC4 && nMarker != 0xC8 && nMarker != 0xCC) {
            nHeight = BigEndian16(s, i + 5);
            nWidth = BigEndian16(s, i + 7);
            return true;
        }
        if (nMarker == 0xD9 || nMarker == 0xDA) return false;  // no frame header before the image data
        i += 2 + BigEndian16(s, i + 2);
    }
    return false;
}

}  // namespace

bool ReadImageSize(const std::string& s, unsigned& nWidth, unsigned& nHeight) {
    nWidth = nHeight = 0;
    if (s.size() >= 24 && s.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0 && s.compare(12, 4, "IHDR") == 0) {
        nWidth = BigEndian32(s, 16);
        nHeight = BigEndian32(s, 20);
        return true;
    }
    if (s.size() >= 10 && (s.compare(0, 6, "GIF87a") == 0 || s.compare(0, 6, "GIF89a") == 0)) {
        // The logical screen; every frame must lie within it.
        nWidth = LittleEndian16(s, 6);
        nHeight = LittleEndian16(s, 8);
        return true;
    }
    if (s.size() >= 26 && s.compare(0, 2, "BM") == 0) {
        if (LittleEndian32(s, 14) < 40) {  // the old OS/2 header: 16-bit sides
            nWidth = LittleEndian16(s, 18);
            nHeight = LittleEndian16(s, 20);
            return true;
        }
        int nSignedHeight = static_cast<int>(LittleEndian32(s, 22));  // negative: drawn top down
        nWidth = LittleEndian32(s, 18);
        nHeight = nSignedHeight < 0 ? 0u - static_cast<unsigned>(nSignedHeight) : static_cast<unsigned>(nSignedHeight);
        return true;
    }
    if (s.size() >= 4 && Byte(s, 0) == 0xFF && Byte(s, 1) == 0xD8) return ReadJpegSize(s, nWidth, nHeight);
    return false;
}

bool IsDrawableIcon(const std::string& strData) {
    unsigned nWidth = 0, nHeight = 0;
    return ReadImageSize(strData, nWidth, nHeight) && nWidth > 0 && nHeight > 0 && nWidth <= MAX_ICON_SIDE &&
           nHeight <= MAX_ICON_SIDE;
}
