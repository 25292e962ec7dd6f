#include "orbel2/physics/PairMarks.h"

#include "orbel2/kernel/OB_Assert.h"

#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace orbel2 {

// Why a mark may be left off. The circle test is
//   sqrt(dx * dx + dy * dy) < rA + rB,
// each operation rounded to float. sqrt(x * x) rounded is never below |x|
// for a float x whose square is a normal float (every such float was
// checked; a test checks every 61st), and adding the other axis' square and
// taking the root only make the length larger. So when |dx| or |dy| is at
// least rA + rB, the test is false. Below this reach the square of a
// distance as long could fall short of a normal float, and every pair is
// marked.
namespace {

constexpr float FromReach = 0x1p-60f;

typedef float TFloat4 __attribute__((vector_size(16)));
typedef int32_t TInt4 __attribute__((vector_size(16)));

// The lanes of a comparison's result as the low four bits, lane 0 lowest:
// one instruction where the processor has one, lane by lane elsewhere.
inline uint32_t LaneBits(TInt4 Mask)
{
#if defined(__SSE2__)
    return static_cast<uint32_t>(_mm_movemask_ps(reinterpret_cast<__m128>(Mask)));
#else
    return (Mask[0] & 1u) | (Mask[1] & 2u) | (Mask[2] & 4u) | (Mask[3] & 8u);
#endif
}

bool SameBits(float A, float B)
{
    return std::bit_cast<uint32_t>(A) == std::bit_cast<uint32_t>(B);
}

}   // namespace

void TPairMarks::Update(const std::vector<TBody*>& Bodies)
{
    OB_ASSERT(Bodies.size() <= MaxBodies);
    uint64_t moved = 0;
    if (Bodies.size() != Count) {
        Count = Bodies.size();
        const size_t padded = (Count + 3) / 4 * 4;
        for (std::vector<float>* lane : {&X, &Y, &Radius})
            lane->assign(padded, 0.0f);
        Group.assign(padded, 0);
        Marks.assign(Count, 0);
    }
    for (size_t i = 0; i < Count; ++i) {
        const TBody& body = *Bodies[i];
        if (SameBits(X[i], body.State.Position.x) && SameBits(Y[i], body.State.Position.y) &&
            SameBits(Radius[i], body.Radius) && Group[i] == body.Group)
            continue;
        X[i] = body.State.Position.x;
        Y[i] = body.State.Position.y;
        Radius[i] = body.Radius;
        Group[i] = body.Group;
        moved |= uint64_t(1) << i;
    }
    for (; moved != 0; moved &= moved - 1)
        MarkRow(size_t(std::countr_zero(moved)));
}

// A's row anew, four b at a time with the test's own float operations on
// the same values, and A's bit in every row whose mark changed: the test
// reads the same of (b, A) as of (A, b), since the difference only changes
// sign and the sum of the radii is the same in either order.
void TPairMarks::MarkRow(size_t A)
{
    const TFloat4 ax = X[A] + TFloat4{};
    const TFloat4 ay = Y[A] + TFloat4{};
    const TFloat4 ar = Radius[A] + TFloat4{};
    const TInt4 ag = Group[A] + TInt4{};
    const TFloat4 fromReach = FromReach + TFloat4{};
    const TInt4 magnitude = 0x7FFFFFFF + TInt4{};
    uint64_t row = 0;
    for (size_t b0 = 0; b0 < Count; b0 += 4) {
        TFloat4 bx, by, br;
        TInt4 bg;
        std::memcpy(&bx, &X[b0], sizeof bx);
        std::memcpy(&by, &Y[b0], sizeof by);
        std::memcpy(&br, &Radius[b0], sizeof br);
        std::memcpy(&bg, &Group[b0], sizeof bg);
        const TFloat4 reach = ar + br;
        const TFloat4 dx = (TFloat4)((TInt4)(bx - ax) & magnitude);
        const TFloat4 dy = (TFloat4)((TInt4)(by - ay) & magnitude);
        const TInt4 apart = (reach >= fromReach) & ((dx >= reach) | (dy >= reach));
        row |= uint64_t(LaneBits((bg == ag) & ~apart)) << b0;
    }
    const uint64_t inWorld = Count == 64 ? ~uint64_t(0) : (uint64_t(1) << Count) - 1;
    row &= inWorld & ~(uint64_t(1) << A);
    for (uint64_t changed = row ^ Marks[A]; changed != 0; changed &= changed - 1)
        Marks[size_t(std::countr_zero(changed))] ^= uint64_t(1) << A;
    Marks[A] = row;
}

}   // namespace orbel2
