#include "stereo/camera_model_record.h"

#include <string>

#include "base/archive.h"
#include "stereo/camera_focal.h"

namespace q3d {

namespace {
// The four bytes "QCAM", a version, the size of what follows, then the sharing choice and,
// per photograph, the precision of its metadata focal length and of the entered one.
constexpr char kTag[4] = {'Q', 'C', 'A', 'M'};
constexpr int32_t kVersion = 1;
constexpr uint32_t kBodySize = 1 + 4 * 8;

double ReadPrecision(Archive& ar) {
  const double sigma = ar.ReadDouble();
  if (sigma != 0 && !(sigma >= kSmallestFocalPrecision && sigma <= kLargestFocalPrecision))
    throw ArchiveError("The camera record holds a focal-length precision no command sets.");
  return sigma;
}
}  // namespace

void WriteCameraModelRecord(Archive& ar, const CCamera& camera1, const CCamera& camera2,
                            const CStereoPair& pair) {
  const CameraFocal& a = camera1.m_focal;
  const CameraFocal& b = camera2.m_focal;
  if (pair.m_cameraSharing == CameraSharing::kAutomatic && a.exif_sigma == 0 && b.exif_sigma == 0 &&
      a.entered_sigma == 0 && b.entered_sigma == 0)
    return;
  ar.WriteBytes(kTag, sizeof kTag);
  ar.WriteInt32(kVersion);
  ar.WriteUInt32(kBodySize);
  const auto sharing = static_cast<uint8_t>(pair.m_cameraSharing);
  ar.WriteBytes(&sharing, 1);
  for (const CameraFocal* focal : {&a, &b}) {
    ar.WriteDouble(focal->exif_sigma);
    ar.WriteDouble(focal->entered_sigma);
  }
}

void ClearCameraModelRecord(CCamera& camera1, CCamera& camera2, CStereoPair& pair) {
  pair.m_cameraSharing = CameraSharing::kAutomatic;
  for (CCamera* camera : {&camera1, &camera2}) {
    camera->m_focal.exif_sigma = 0;
    camera->m_focal.entered_sigma = 0;
  }
}

bool ReadCameraModelRecord(Archive& ar, CCamera& camera1, CCamera& camera2, CStereoPair& pair) {
  if (!ar.NextBytesAre(kTag, sizeof kTag)) return false;
  char tag[sizeof kTag];
  ar.ReadBytes(tag, sizeof tag);
  if (const int32_t version = ar.ReadInt32(); version != kVersion)
    throw ArchiveError("The camera record is of version " + std::to_string(version) +
                       ", which this version of Quorvan 3D cannot read.");
  if (ar.ReadUInt32() != kBodySize || ar.Remaining() < kBodySize)
    throw ArchiveError("The camera record is damaged.");
  uint8_t sharing = 0;
  ar.ReadBytes(&sharing, 1);
  if (sharing > static_cast<uint8_t>(CameraSharing::kSeparate))
    throw ArchiveError("The camera record names an unknown choice of cameras.");
  pair.m_cameraSharing = static_cast<CameraSharing>(sharing);
  for (CCamera* camera : {&camera1, &camera2}) {
    camera->m_focal.exif_sigma = ReadPrecision(ar);
    camera->m_focal.entered_sigma = ReadPrecision(ar);
  }
  return true;
}

}  // namespace q3d
