#include "console/obstrutils.h"

#include <gtest/gtest.h>

TEST(ObStrUtils, FormatByteSizeUsesStrictThresholdsAndTwoDecimals)
{
    const std::pair<int64_t, const char*> sizes[] = {
        {0, "0 b"}, {1024, "1024 b"}, {1025, "1.00 Kb"}, {1536, "1.50 Kb"}, {1048576, "1024.00 Kb"},
        {1048577, "1.00 Mb"}, {4294967295, "4.00 Gb"}, {-2048, "-2.00 Kb"}};
    for (const auto& [size, text] : sizes)
        EXPECT_EQ(FormatByteSize(size), text) << size;
}
