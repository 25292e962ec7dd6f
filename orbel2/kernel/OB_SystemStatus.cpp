#include "orbel2/kernel/OB_SystemStatus.h"

namespace orbel2 {

void OB_Kernel_GetStatus(OB_TSystemStatus& Status)
{
    const OB_THeapStatus heap = OB_Platform().HeapStatus();
    Status.HeapAddrSpace = heap.AddrSpace;
    Status.HeapUncommitted = heap.Uncommitted;
    Status.HeapCommitted = heap.Committed;
    Status.HeapAllocated = heap.Allocated;
    Status.HeapFree = heap.Free;
    Status.HeapFreeSmall = heap.FreeSmall;
    Status.HeapFreeBig = heap.FreeBig;
    Status.HeapUnused = heap.Unused;
    Status.HeapOverhead = heap.Overhead;
    Status.HeapErrorCode = heap.ErrorCode;
    Status.Memory = OB_Platform().MemoryStatus();
}

}   // namespace orbel2
