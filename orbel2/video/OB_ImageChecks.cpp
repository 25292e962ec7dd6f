#include "orbel2/video/OB_ImageChecks.h"

#include <SDL.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace orbel2 {

namespace {

// A few bytes of image can declare a picture of tens of thousands of pixels
// a side; decoding it would take gigabytes before the picture could be
// refused, so the declared size is checked against these limits before
// anything is decoded.
uint32_t MaxTextureSide = OB_DefaultMaxTextureSide;
uint64_t MaxTexturePixels = OB_DefaultMaxTexturePixels;
using TBytes = std::vector<uint8_t>;

uint32_t Little16(const TBytes& b, size_t at)
{
    return b[at] | b[at + 1] << 8;
}
uint32_t Big16(const TBytes& b, size_t at)
{
    return b[at] << 8 | b[at + 1];
}
uint32_t Big32(const TBytes& b, size_t at)
{
    return Big16(b, at) << 16 | Big16(b, at + 2);
}
uint32_t Magnitude32(const TBytes& b, size_t at)
{
    const auto value = static_cast<int32_t>(Little16(b, at) | Little16(b, at + 2) << 16);
    return value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
}

// A picture with no pixels is no texture either, and some decoders take a
// zero side for a huge one.
bool SidesFit(uint32_t width, uint32_t height)
{
    return width > 0 && height > 0 && width <= MaxTextureSide && height <= MaxTextureSide &&
        uint64_t(width) * height <= MaxTexturePixels;
}

// Passes a run of GIF data blocks up to the empty one that ends it; the
// file's size when a block runs past the end.
size_t SkipGifBlocks(const TBytes& b, size_t at)
{
    while (at < b.size()) {
        const size_t length = b[at];
        if (length == 0)
            return at + 1;
        at += 1 + length;
    }
    return b.size() + 1;
}

// SDL_image's GIF decoder passes over stray bytes, goes on from a picture it
// cannot decode to the next one, and mishandles some such files badly enough
// to free memory it never allocated. Only a GIF of sound structure is handed
// to it: blocks where blocks belong, each picture inside the screen and of a
// size that fits, a code size the format allows, nothing cut short.
bool GifIsSound(const TBytes& b)
{
    if (b.size() < 13)
        return false;
    const uint32_t screenWidth = Little16(b, 6);
    const uint32_t screenHeight = Little16(b, 8);
    if (!SidesFit(screenWidth, screenHeight))
        return false;
    size_t at = 13;
    if (b[10] & 0x80)
        at += size_t(3) << ((b[10] & 7) + 1);
    bool picture = false;
    while (at < b.size()) {
        switch (b[at]) {
        case 0x3B:
            return picture;
        case 0x21:
            at = SkipGifBlocks(b, at + 2);
            break;
        case 0x2C: {
            if (at + 10 > b.size())
                return false;
            const uint32_t left = Little16(b, at + 1);
            const uint32_t top = Little16(b, at + 3);
            const uint32_t width = Little16(b, at + 5);
            const uint32_t height = Little16(b, at + 7);
            if (!SidesFit(width, height) || left + width > screenWidth || top + height > screenHeight)
                return false;
            const uint8_t flags = b[at + 9];
            at += 10;
            if (flags & 0x80)
                at += size_t(3) << ((flags & 7) + 1);
            if (at >= b.size() || b[at] < 2 || b[at] > 8)
                return false;
            at = SkipGifBlocks(b, at + 1);
            picture = true;
            break;
        }
        default:
            return false;
        }
    }
    return false;   // cut short before its trailer
}

bool JpegFits(const TBytes& b)
{
    size_t at = 2;
    while (at + 4 <= b.size()) {
        if (b[at] != 0xFF) {
            ++at;   // the decoder looks for the next marker past stray bytes
            continue;
        }
        const uint8_t marker = b[at + 1];
        if (marker == 0xFF || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD9)) {
            at += marker == 0xFF ? 1 : 2;
            continue;
        }
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame)
            return at + 9 > b.size() || SidesFit(Big16(b, at + 7), Big16(b, at + 5));
        at += 2 + Big16(b, at + 2);
    }
    return true;
}

bool HasName(const std::string& name, const char* extension)
{
    const size_t length = std::strlen(extension);
    if (name.size() < length)
        return false;
    return std::equal(extension, extension + length, name.end() - static_cast<std::ptrdiff_t>(length),
                      [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

// The image formats textures come in: PNG, JPEG, BMP and GIF by their
// signatures, TGA (which has none) by its name. The type for the decoder, or
// nullptr for anything else or for a picture that declares a size too large.
const char* ImageTypeOf(const TBytes& b, const std::string& name)
{
    const auto starts = [&](const char* magic, size_t length) {
        return b.size() >= length && std::memcmp(b.data(), magic, length) == 0;
    };
    if (starts("\x89PNG\r\n\x1a\n", 8))
        return b.size() < 24 || SidesFit(Big32(b, 16), Big32(b, 20)) ? "PNG" : nullptr;
    if (starts("\xFF\xD8", 2))
        return JpegFits(b) ? "JPG" : nullptr;
    if (starts("GIF87a", 6) || starts("GIF89a", 6))
        return GifIsSound(b) ? "GIF" : nullptr;
    if (starts("BM", 2)) {
        // A 12-byte info header has 16-bit sides; every other one 32-bit.
        if (b.size() >= 22 && Little16(b, 14) == 12 && Little16(b, 16) == 0)
            return SidesFit(Little16(b, 18), Little16(b, 20)) ? "BMP" : nullptr;
        return b.size() < 26 || SidesFit(Magnitude32(b, 18), Magnitude32(b, 22)) ? "BMP" : nullptr;
    }
    if (HasName(name, ".tga"))
        return b.size() < 16 || SidesFit(Little16(b, 12), Little16(b, 14)) ? "TGA" : nullptr;
    return nullptr;
}

// The header checks follow the decoders as far as they can be followed
// without decoding; a decoder that goes further (a GIF decoder passes over a
// picture it cannot decode to the next one, from wherever it stopped) could
// still meet a huge declared size. While a picture is decoded, no single
// allocation through SDL may exceed what the largest acceptable picture needs.
SDL_malloc_func OriginalMalloc = nullptr;
SDL_calloc_func OriginalCalloc = nullptr;
SDL_realloc_func OriginalRealloc = nullptr;
SDL_free_func OriginalFree = nullptr;
bool Decoding = false;

size_t DecodeAllocationLimit()
{
    return static_cast<size_t>(MaxTexturePixels) * 4 + (size_t(1) << 20);
}

void* SDLCALL GuardedMalloc(size_t size)
{
    return Decoding && size > DecodeAllocationLimit() ? nullptr : OriginalMalloc(size);
}

void* SDLCALL GuardedCalloc(size_t count, size_t size)
{
    if (Decoding && size != 0 && count > DecodeAllocationLimit() / size)
        return nullptr;
    return OriginalCalloc(count, size);
}

void* SDLCALL GuardedRealloc(void* memory, size_t size)
{
    return Decoding && size > DecodeAllocationLimit() ? nullptr : OriginalRealloc(memory, size);
}

// The guard forwards to SDL's own functions, so memory allocated before it
// was installed is freed the same way after.
void InstallDecodeGuard()
{
    if (OriginalMalloc != nullptr)
        return;
    SDL_GetOriginalMemoryFunctions(&OriginalMalloc, &OriginalCalloc, &OriginalRealloc, &OriginalFree);
    SDL_SetMemoryFunctions(GuardedMalloc, GuardedCalloc, GuardedRealloc, OriginalFree);
}

}   // namespace

void OB_SetTextureLimits(uint32_t MaxSide, uint64_t MaxPixels)
{
    MaxTextureSide = MaxSide;
    MaxTexturePixels = MaxPixels;
}

bool OB_PictureSizeFits(uint32_t Width, uint32_t Height)
{
    return SidesFit(Width, Height);
}

const char* OB_ImageType(const std::vector<uint8_t>& Bytes, const std::string& Name)
{
    return ImageTypeOf(Bytes, Name);
}

TDecodeGuard::TDecodeGuard()
{
    InstallDecodeGuard();
    Decoding = true;
}

TDecodeGuard::~TDecodeGuard()
{
    Decoding = false;
}

}   // namespace orbel2
