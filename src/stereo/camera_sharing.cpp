#include "stereo/camera_sharing.h"

#include <cmath>

namespace q3d {

namespace {
// Focal lengths per image diagonal closer than this are one lens setting: the metadata
// states them to a few digits, and a resized photograph keeps the ratio.
constexpr double kSameFocalRatio = 0.002;

double FocalPerDiagonal(const CCamera& camera) {
  const double diagonal = std::hypot(camera.Width(), camera.Height());
  return diagonal > 0 ? camera.m_focal.exif_px / diagonal : 0;
}
}  // namespace

const char* CameraSharingName(CameraSharing sharing) {
  switch (sharing) {
    case CameraSharing::kSame:
      return "same";
    case CameraSharing::kSeparate:
      return "separate";
    case CameraSharing::kAutomatic:
      break;
  }
  return "automatic";
}

std::optional<CameraSharing> CameraSharingNamed(std::string_view name) {
  for (const CameraSharing s :
       {CameraSharing::kAutomatic, CameraSharing::kSame, CameraSharing::kSeparate})
    if (name == CameraSharingName(s)) return s;
  return std::nullopt;
}

bool OneCameraByMetadata(const CCamera& camera1, const CCamera& camera2) {
  const CameraFocal& a = camera1.m_focal;
  const CameraFocal& b = camera2.m_focal;
  if (a.make.empty() || a.model.empty() || a.make != b.make || a.model != b.model) return false;
  const double fa = FocalPerDiagonal(camera1), fb = FocalPerDiagonal(camera2);
  return fa > 0 && fb > 0 && std::abs(fa / fb - 1) < kSameFocalRatio;
}

bool SharesFocalLength(CameraSharing sharing, const CCamera& camera1, const CCamera& camera2) {
  if (sharing == CameraSharing::kAutomatic) return OneCameraByMetadata(camera1, camera2);
  return sharing == CameraSharing::kSame;
}

}  // namespace q3d
