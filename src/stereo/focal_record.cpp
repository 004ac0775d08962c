#include "stereo/focal_record.h"

#include <cmath>
#include <string>

#include "base/archive.h"
#include "stereo/camera_focal.h"

namespace q3d {

namespace {
constexpr char kTag[4] = {'Q', 'F', 'O', 'C'};
constexpr int32_t kVersion = 1;
constexpr size_t kMaxTextBytes = 256;

void WriteText(Archive& ar, const std::string& text) {
  const size_t size = std::min(text.size(), kMaxTextBytes);
  ar.WriteUInt16(static_cast<uint16_t>(size));
  ar.WriteBytes(text.data(), size);
}

std::string ReadText(Archive& ar) {
  const uint16_t size = ar.ReadUInt16();
  if (size > kMaxTextBytes) throw ArchiveError("The focal-length record holds an overlong name.");
  std::string text(size, '\0');
  ar.ReadBytes(text.data(), size);
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return text;
}

// A focal length read back: 0 for none, otherwise within the limits an entered one obeys.
double ReadFocal(Archive& ar) {
  const double f = ar.ReadDouble();
  if (f == 0) return 0;
  if (!(f >= kSmallestFocalPx && f <= kLargestFocalPx))
    throw ArchiveError("The focal-length record holds a focal length outside " +
                       std::to_string(static_cast<int>(kSmallestFocalPx)) + " to " +
                       std::to_string(static_cast<int>(kLargestFocalPx)) + " pixels.");
  return f;
}
}  // namespace

void WriteFocalRecord(Archive& ar, const CCamera& camera1, const CCamera& camera2,
                      const CStereoPair& pair) {
  const bool anything = !camera1.m_focal.IsEmpty() || !camera2.m_focal.IsEmpty() ||
                        pair.m_focalSource[0] != FocalSource::kMeasured ||
                        pair.m_focalSource[1] != FocalSource::kMeasured;
  if (!anything) return;
  ar.WriteBytes(kTag, sizeof kTag);
  ar.WriteInt32(kVersion);
  for (const CCamera* camera : {&camera1, &camera2}) {
    ar.WriteDouble(camera->m_focal.exif_px);
    ar.WriteDouble(camera->m_focal.entered_px);
    WriteText(ar, camera->m_focal.make);
    WriteText(ar, camera->m_focal.model);
  }
  for (FocalSource source : pair.m_focalSource) ar.WriteInt32(static_cast<int32_t>(source));
}

void ClearFocalRecord(CCamera& camera1, CCamera& camera2, CStereoPair& pair) {
  camera1.m_focal = CameraFocal{};
  camera2.m_focal = CameraFocal{};
  pair.m_focalSource = {FocalSource::kMeasured, FocalSource::kMeasured};
}

bool ReadFocalRecord(Archive& ar, CCamera& camera1, CCamera& camera2, CStereoPair& pair) {
  if (!ar.NextBytesAre(kTag, sizeof kTag)) return false;
  char tag[sizeof kTag];
  ar.ReadBytes(tag, sizeof tag);
  if (const int32_t version = ar.ReadInt32(); version != kVersion)
    throw ArchiveError("The focal-length record is of version " + std::to_string(version) +
                       ", which this version of Quorvan 3D cannot read.");
  for (CCamera* camera : {&camera1, &camera2}) {
    camera->m_focal.exif_px = ReadFocal(ar);
    camera->m_focal.entered_px = ReadFocal(ar);
    camera->m_focal.make = ReadText(ar);
    camera->m_focal.model = ReadText(ar);
  }
  for (FocalSource& source : pair.m_focalSource) {
    const int32_t value = ar.ReadInt32();
    if (value < 0 || value > static_cast<int32_t>(FocalSource::kAssumed))
      throw ArchiveError("The focal-length record names an unknown source of a focal length.");
    source = static_cast<FocalSource>(value);
  }
  return true;
}

}  // namespace q3d
