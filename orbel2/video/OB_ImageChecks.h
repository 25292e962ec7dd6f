// The checks a picture passes before it is decoded into a texture. A few
// bytes of image can declare a picture of tens of thousands of pixels a
// side, and decoding it would take gigabytes before it could be refused:
// each format's declared size is read from its header and held against the
// limits first, and while a picture is decoded no single allocation through
// SDL may exceed what the largest acceptable picture needs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orbel2 {

// The largest picture made into a texture: no side beyond MaxSide and no
// more than MaxPixels in all (the defaults, 16384 a side and 64 million
// pixels, are a 256 MiB texture).
constexpr uint32_t OB_DefaultMaxTextureSide = 16384;
constexpr uint64_t OB_DefaultMaxTexturePixels = uint64_t(8192) * 8192;
void OB_SetTextureLimits(uint32_t MaxSide, uint64_t MaxPixels);

// Whether a decoded picture of this size is acceptable (no zero side either).
bool OB_PictureSizeFits(uint32_t Width, uint32_t Height);
// The type name for SDL_image of a whole image file: PNG, JPEG, BMP and GIF
// by their signatures, TGA (which has none) by its name; nullptr for any
// other file, for a picture that declares a size beyond the limits, and for
// a GIF not of sound structure.
const char* OB_ImageType(const std::vector<uint8_t>& Bytes, const std::string& Name);

// While it lives, allocations through SDL are capped at what the largest
// acceptable picture needs.
class TDecodeGuard {
public:
    TDecodeGuard();
    ~TDecodeGuard();
    TDecodeGuard(const TDecodeGuard&) = delete;
    TDecodeGuard& operator=(const TDecodeGuard&) = delete;
};

}   // namespace orbel2
