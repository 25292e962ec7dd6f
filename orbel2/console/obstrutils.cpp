#include "orbel2/console/obstrutils.h"

#include "orbel2/kernel/OB_SystemStatus.h"
#include "orbel2/video/OB_Textures.h"
#include "orbel2/video/OB_Video.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <utility>

namespace orbel2 {

namespace {

constexpr uint64_t Kilo = 1024;
constexpr uint64_t Mega = Kilo * 1024;
constexpr uint64_t Giga = Mega * 1024;

// Magnitude / Unit rounded once, halves away from zero: to two decimals, or
// to seven significant digits when that keeps fewer (quotients of 100000
// and more); always shown with two decimals. The arithmetic is on integers,
// so a quotient that lies exactly halfway (1152 / 1024 = 1.125) rounds up.
std::string FormatQuotient(uint64_t Magnitude, uint64_t Unit)
{
    using Wide = unsigned __int128;
    int integerDigits = 1;
    for (uint64_t whole = Magnitude / Unit; whole >= 10; whole /= 10)
        ++integerDigits;
    const int decimals = std::min(2, 7 - integerDigits);
    // Round Magnitude / Unit to a multiple of 10^-decimals.
    Wide scale = 1;
    for (int i = 0; i < std::abs(decimals); ++i)
        scale *= 10;
    const Wide numerator = decimals >= 0 ? Wide(Magnitude) * scale : Wide(Magnitude);
    const Wide denominator = decimals >= 0 ? Wide(Unit) : Wide(Unit) * scale;
    Wide rounded = (2 * numerator + denominator) / (2 * denominator);
    // In hundredths from here on.
    rounded = decimals >= 0 ? rounded * (100 / static_cast<uint64_t>(scale)) : rounded * scale * 100;
    const auto whole = static_cast<uint64_t>(rounded / 100);
    const auto hundredths = static_cast<unsigned>(rounded % 100);
    char text[48];
    std::snprintf(text, sizeof text, "%llu.%02u", static_cast<unsigned long long>(whole), hundredths);
    return text;
}

std::string SizeText(uint64_t Figure)
{
    // The figures are unsigned; a value beyond the signed range cannot be a
    // real byte count, so it is held at the largest one instead of wrapping.
    constexpr uint64_t largest = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    return FormatByteSize(static_cast<int64_t>(Figure > largest ? largest : Figure));
}

}   // namespace

std::string FormatByteSize(int64_t Size)
{
    // Unsigned negation also covers the most negative value.
    const uint64_t magnitude = Size < 0 ? 0 - static_cast<uint64_t>(Size) : static_cast<uint64_t>(Size);
    const std::string sign = Size < 0 ? "-" : "";
    if (magnitude > Giga)
        return sign + FormatQuotient(magnitude, Giga) + " Gb";
    if (magnitude > Mega)
        return sign + FormatQuotient(magnitude, Mega) + " Mb";
    if (magnitude > Kilo)
        return sign + FormatQuotient(magnitude, Kilo) + " Kb";
    return sign + std::to_string(magnitude) + " b";
}

std::vector<std::string> StatusReportLines()
{
    OB_TSystemStatus status;
    OB_Kernel_GetStatus(status);
    if (OB_VideoInfo.Device != nullptr)
        status.AvailTextureMem = OB_Video_AvailableTextureMemory();
    const OB_TMemoryStatus& memory = status.Memory;
    const OB_TextureManager& textures = TextureManager();

    const std::pair<const char*, uint64_t> memorySizes[] = {
        {"  Total Physical: ", memory.dwTotalPhys},     {"  Avail Physical: ", memory.dwAvailPhys},
        {"  Total Pagefile: ", memory.dwTotalPageFile}, {"  Avail Pagefile: ", memory.dwAvailPageFile},
        {"  Total Virtual : ", memory.dwTotalVirtual},  {"  Avail Virtual : ", memory.dwAvailVirtual},
    };
    const std::pair<const char*, uint64_t> heapSizes[] = {
        {"  Heap Allocated  : ", status.HeapAllocated}, {"  Heap Free       : ", status.HeapFree},
        {"  Heap AddrSpace  : ", status.HeapAddrSpace}, {"  Heap Uncommitted: ", status.HeapUncommitted},
        {"  Heap Committed  : ", status.HeapCommitted}, {"  Heap FreeSmall  : ", status.HeapFreeSmall},
        {"  Heap FreeBig    : ", status.HeapFreeBig},   {"  Heap Overhead   : ", status.HeapOverhead},
    };
    std::vector<std::string> lines{"", "---MEMORY STATUS: -------",
                                   "  Memory Load   : " + std::to_string(memory.dwMemoryLoad) + "%"};
    for (const auto& [label, size] : memorySizes)
        lines.push_back(label + SizeText(size));
    lines.push_back("---HEAP STATUS: -------");
    for (const auto& [label, size] : heapSizes)
        lines.push_back(label + SizeText(size));
    lines.push_back("---VIDEO STATUS: -------");
    lines.push_back("  Avail Tex memory: " + SizeText(status.AvailTextureMem));
    lines.push_back("  " + std::to_string(textures.Count()) + " Textures in system:");
    for (int32_t i = 0; i < textures.Count(); ++i) {
        const TResource* entry = textures.GetResource(i);
        lines.push_back("    " + entry->Name + " [" + std::to_string(entry->Count) + "]");
    }
    return lines;
}

}   // namespace orbel2
