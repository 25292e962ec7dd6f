// Text helpers of the console: byte counts as short human-readable sizes and
// the lines of the "res" status report. The report reads a fresh snapshot of
// the machine, the heap and the texture registry each time it is built.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orbel2 {

// A byte count in b, Kb, Mb or Gb. The thresholds are strict (1024 gives
// '1024 b', 1025 gives '1.00 Kb'); a negative count gets a leading "-".
std::string FormatByteSize(int64_t Size);

// The report that "res" prints: 21 fixed lines (the first one empty), then
// one line per entry of the texture registry.
std::vector<std::string> StatusReportLines();

}   // namespace orbel2
