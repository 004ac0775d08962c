#pragma once
// The user's choice of how points placed on dots are centred, kept between sessions:
// precise (the default) or the detector's circle alone.
#include "stereo/dot_centre.h"

namespace q3d {

DotCentring DotCentringSetting();
void SetDotCentringSetting(DotCentring centring);

}  // namespace q3d
