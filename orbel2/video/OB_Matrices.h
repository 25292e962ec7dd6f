// The camera's matrices, left-handed, as the video system sets them on the
// device: a view from Eye toward At with Up, and a perspective whose vertical
// field of view is FovY radians.
#pragma once

#include "orbel2/kernel/OB_GfxRecords.h"
#include "orbel2/physics/D3DValues.h"

namespace orbel2 {

D3DMATRIX OB_MatrixLookAtLH(const D3DVECTOR& Eye, const D3DVECTOR& At, const D3DVECTOR& Up);
D3DMATRIX OB_MatrixPerspectiveFovLH(float FovY, float Aspect, float ZNear, float ZFar);

}   // namespace orbel2
