#include "TestSupport.h"
#include "orbel2/console/OB_Console.h"
#include "orbel2/console/obstrutils.h"
#include "orbel2/video/OB_Textures.h"

using namespace orbel2;

TEST(ObStrUtils, FormatByteSizeUsesStrictThresholdsAndTwoDecimals)
{
    const std::pair<int64_t, const char*> sizes[] = {
        {0, "0 b"},
        {1024, "1024 b"},
        {1025, "1.00 Kb"},
        {1536, "1.50 Kb"},
        {1048576, "1024.00 Kb"},
        {1048577, "1.00 Mb"},
        {4294967295, "4.00 Gb"},
        {-2048, "-2.00 Kb"},
        // Exact halves round away from zero, to two decimals or, from 100000
        // up, to seven significant digits.
        {1152, "1.13 Kb"},
        {-1152, "-1.13 Kb"},
        {1034, "1.01 Kb"},
        {132560139059200, "123456.30 Gb"},
        {INT64_MIN, "-8589935000.00 Gb"}};
    for (const auto& [size, text] : sizes)
        EXPECT_EQ(FormatByteSize(size), text) << size;
}

TEST(ObStrUtils, ResPrintsTwentyOneLinesThenOnePerTexture)
{
    TFakePlatformScope fake;
    fake.Platform.Memory.dwMemoryLoad = 37;
    fake.Platform.Memory.dwTotalVirtual = 128ull << 40;   // beyond 32 bits
    fake.Platform.Heap.Allocated = 1048577;
    auto entry = std::make_unique<TResource>();
    entry->Name = "ship.png";
    entry->Count = 3;
    TextureManager().Add(std::move(entry));

    const std::vector<std::string> lines = StatusReportLines();
    TextureManager().Clear();
    ASSERT_EQ(lines.size(), 22u);
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[2], "  Memory Load   : 37%");
    EXPECT_EQ(lines[7], "  Total Virtual : 131072.00 Gb");
    EXPECT_EQ(lines[10], "  Heap Allocated  : 1.00 Mb");
    EXPECT_EQ(lines[19], "  Avail Tex memory: 0 b");
    EXPECT_EQ(lines[20], "  1 Textures in system:");
    EXPECT_EQ(lines[21], "    ship.png [3]");
}
