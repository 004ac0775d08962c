#pragma once
// Whether the two photographs were taken by one camera with one lens setting, which the
// render then fits with one focal length. Decided from the photographs' metadata unless
// the user says otherwise.
#include <optional>
#include <string_view>

#include "stereo/camera.h"

namespace q3d {

enum class CameraSharing { kAutomatic, kSame, kSeparate };

const char* CameraSharingName(CameraSharing sharing);  // "automatic", "same", "separate"
std::optional<CameraSharing> CameraSharingNamed(std::string_view name);

// The same make and model, and the same focal length for the image's size (the same
// metadata focal length on images of one size, or the same 35 mm equivalent).
bool OneCameraByMetadata(const CCamera& camera1, const CCamera& camera2);

// Whether the render fits one focal length for both photographs under the user's choice.
bool SharesFocalLength(CameraSharing sharing, const CCamera& camera1, const CCamera& camera2);

}  // namespace q3d
