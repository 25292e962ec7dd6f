#include "console/obstrutils.h"
#include "video/OB_Textures.h"
#include "TestSupport.h"

TEST(ObStrUtils, FormatByteSizeUsesStrictThresholdsAndTwoDecimals)
{
    const std::pair<int64_t, const char*> sizes[] = {
        {0, "0 b"}, {1024, "1024 b"}, {1025, "1.00 Kb"}, {1536, "1.50 Kb"}, {1048576, "1024.00 Kb"},
        {1048577, "1.00 Mb"}, {4294967295, "4.00 Gb"}, {-2048, "-2.00 Kb"}};
    for (const auto& [size, text] : sizes)
        EXPECT_EQ(FormatByteSize(size), text) << size;
}

TEST(ObStrUtils, StatusReportHasItsFixedLinesThenOneLinePerTexture)
{
    TFakePlatformScope fake;
    fake.Platform.Memory.dwMemoryLoad = 37;
    fake.Platform.Memory.dwAvailPhys = 3ull << 29;
    fake.Platform.Heap.Allocated = 1048577;
    std::vector<std::string> lines = StatusReportLines();
    ASSERT_EQ(lines.size(), 21u);
    // Line number and text of a sample of the report.
    EXPECT_EQ(lines[2], "  Memory Load   : 37%");
    EXPECT_EQ(lines[4], "  Avail Physical: 1.50 Gb");
    EXPECT_EQ(lines[10], "  Heap Allocated  : 1.00 Mb");

    auto entry = std::make_unique<TResource>();
    entry->Name = "ship.png";
    entry->Count = 3;
    TextureManager().Add(std::move(entry));
    lines = StatusReportLines();
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 20, lines.end()),
              (std::vector<std::string>{"  1 Textures in system:", "    ship.png [3]"}));
    TextureManager().Clear();
}
