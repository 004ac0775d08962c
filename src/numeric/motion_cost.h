#pragma once
// Reprojection cost of a camera motion and two focal lengths packed in one vector, for the
// least-squares engine.
#include "numeric/matrix.h"

namespace q3d {

// vAo (7 entries): t(1), t(2) (t(3) = sign_t), rotation angle, axis components 1 and 2
// (component 3 = sign_v, then normalised), focal entries A1(1,1) and A2(1,1) (carrying the
// calibration's sign; the (2,2) entries get them times k). Returns, per match, the sum of
// the reprojection distances in both images (nptos x 1). m1, m2: n x 2 centred points.
Vector travolen_back_motion(const Matrix& vAo, const Matrix& m1, const Matrix& m2,
                            double sign_t, double sign_v, const Matrix& Ao1, const Matrix& Ao2,
                            double k);

// Per-match reprojection distances |m1 - proj1(X)| + |m2 - proj2(X)| of the 3D points Xw
// (3 x n) for camera 1 at the origin and camera 2 at (R2, t2).
Vector ReprojectionDistances(const Matrix& m1, const Matrix& m2, const Matrix& Xw,
                             const Matrix& A1, const Matrix& A2, const Matrix& R2,
                             const Matrix& t2);

}  // namespace q3d
