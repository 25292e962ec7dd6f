// The snapshot of the machine's memory and the program's heap that the "res"
// report prints, taken through the platform seam.
#pragma once

#include "orbel2/kernel/OB_Platform.h"

#include <cstdint>

namespace orbel2 {

// The platform's figures are held in 64 bits.
struct OB_TSystemStatus {
    uint64_t HeapAddrSpace = 0;
    uint64_t HeapUncommitted = 0;
    uint64_t HeapCommitted = 0;
    uint64_t HeapAllocated = 0;
    uint64_t HeapFree = 0;
    uint64_t HeapFreeSmall = 0;
    uint64_t HeapFreeBig = 0;
    uint64_t HeapUnused = 0;
    uint64_t HeapOverhead = 0;
    uint64_t HeapErrorCode = 0;
    OB_TMemoryStatus Memory;
    uint64_t AvailTextureMem = 0;
};

// Fills the heap and memory figures. AvailTextureMem is left as it was
// passed in: it is the video system's figure, and whoever holds a device
// adds it (the status report does).
void OB_Kernel_GetStatus(OB_TSystemStatus& Status);

}   // namespace orbel2
