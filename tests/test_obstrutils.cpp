#include "console/OB_Console.h"
#include "console/obstrutils.h"
#include "video/OB_Textures.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>

TEST(ObStrUtils, FormatByteSizeUsesStrictThresholdsAndTwoDecimals)
{
    const std::pair<int64_t, const char*> sizes[] = {
        {0, "0 b"}, {1024, "1024 b"}, {1025, "1.00 Kb"}, {1536, "1.50 Kb"}, {1048576, "1024.00 Kb"},
        {1048577, "1.00 Mb"}, {1073741824, "1024.00 Mb"}, {4294967295, "4.00 Gb"}, {-2048, "-2.00 Kb"}, {-1, "-1 b"},
        // 1023.995 Kb lies between these two counts: the quotient is rounded once.
        {1048570, "1023.99 Kb"}, {1048571, "1024.00 Kb"},
        // Huge counts keep seven significant digits.
        {std::numeric_limits<int64_t>::max(), "8589935000.00 Gb"},
        {std::numeric_limits<int64_t>::min(), "-8589935000.00 Gb"}};
    for (const auto& [size, text] : sizes)
        EXPECT_EQ(FormatByteSize(size), text) << size;
}

TEST(ObStrUtils, StatusReportHasItsFixedLinesThenOneLinePerTexture)
{
    TFakePlatformScope fake;
    fake.Platform.Memory.dwMemoryLoad = 37;
    fake.Platform.Memory.dwTotalPhys = 8ull << 30;
    fake.Platform.Memory.dwAvailPhys = 3ull << 29;
    fake.Platform.Memory.dwTotalPageFile = 10ull << 30;
    fake.Platform.Memory.dwAvailPageFile = 1536;
    fake.Platform.Memory.dwTotalVirtual = 128ull << 40;
    fake.Platform.Memory.dwAvailVirtual = 1024;
    fake.Platform.Heap.Allocated = 1048577;
    fake.Platform.Heap.Free = 5;
    fake.Platform.Heap.Overhead = ~0ull;

    const std::vector<std::string> expected{
        "",
        "---MEMORY STATUS: -------",
        "  Memory Load   : 37%",
        "  Total Physical: 8.00 Gb",
        "  Avail Physical: 1.50 Gb",
        "  Total Pagefile: 10.00 Gb",
        "  Avail Pagefile: 1.50 Kb",
        "  Total Virtual : 131072.00 Gb",
        "  Avail Virtual : 1024 b",
        "---HEAP STATUS: -------",
        "  Heap Allocated  : 1.00 Mb",
        "  Heap Free       : 5 b",
        "  Heap AddrSpace  : 0 b",
        "  Heap Uncommitted: 0 b",
        "  Heap Committed  : 0 b",
        "  Heap FreeSmall  : 0 b",
        "  Heap FreeBig    : 0 b",
        "  Heap Overhead   : 8589935000.00 Gb",
        "---VIDEO STATUS: -------",
        "  Avail Tex memory: 0 b",
        "  0 Textures in system:",
    };
    EXPECT_EQ(StatusReportLines(), expected);

    auto entry = std::make_unique<TResource>();
    entry->Name = "ship.png";
    entry->Count = 3;
    TextureManager().Add(std::move(entry));
    const std::vector<std::string> lines = StatusReportLines();
    ASSERT_EQ(lines.size(), 22u);
    EXPECT_EQ(lines[20], "  1 Textures in system:");
    EXPECT_EQ(lines[21], "    ship.png [3]");
    TextureManager().Clear();

    // "res" prints the same report through the console.
    ConsoleInit();
    ExecuteLine("res");
    EXPECT_EQ(ConsoleLines()->Get(0), "  0 Textures in system:");
    EXPECT_EQ(ConsoleLines()->Get(18), "  Memory Load   : 37%");
    EXPECT_EQ(ConsoleLines()->Get(21), "res");
}
