#include "stereo/focal_record.h"

#include <cmath>

#include "base/archive.h"

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

// A focal length read back: a positive finite number of pixels, or 0 for none.
double ReadFocal(Archive& ar) {
  const double f = ar.ReadDouble();
  return std::isfinite(f) && f > 0 ? f : 0;
}
}  // namespace

void SerializeFocalRecord(Archive& ar, CCamera& camera1, CCamera& camera2, CStereoPair& pair) {
  CCamera* cameras[2] = {&camera1, &camera2};
  if (ar.IsStoring()) {
    const bool anything = !camera1.m_focal.IsEmpty() || !camera2.m_focal.IsEmpty() ||
                          pair.m_focalSource[0] != FocalSource::kMeasured ||
                          pair.m_focalSource[1] != FocalSource::kMeasured;
    if (!anything) return;
    ar.WriteBytes(kTag, sizeof kTag);
    ar.WriteInt32(kVersion);
    for (CCamera* camera : cameras) {
      ar.WriteDouble(camera->m_focal.exif_px);
      ar.WriteDouble(camera->m_focal.entered_px);
      WriteText(ar, camera->m_focal.make);
      WriteText(ar, camera->m_focal.model);
    }
    for (FocalSource source : pair.m_focalSource) ar.WriteInt32(static_cast<int32_t>(source));
    return;
  }
  for (CCamera* camera : cameras) camera->m_focal = CameraFocal{};
  pair.m_focalSource = {FocalSource::kMeasured, FocalSource::kMeasured};
  if (!ar.NextBytesAre(kTag, sizeof kTag)) return;
  char tag[sizeof kTag];
  ar.ReadBytes(tag, sizeof tag);
  if (ar.ReadInt32() != kVersion) return;
  for (CCamera* camera : cameras) {
    camera->m_focal.exif_px = ReadFocal(ar);
    camera->m_focal.entered_px = ReadFocal(ar);
    camera->m_focal.make = ReadText(ar);
    camera->m_focal.model = ReadText(ar);
  }
  for (FocalSource& source : pair.m_focalSource) {
    const int32_t value = ar.ReadInt32();
    source = value >= 0 && value <= static_cast<int32_t>(FocalSource::kAssumed)
                 ? static_cast<FocalSource>(value)
                 : FocalSource::kMeasured;
  }
}

}  // namespace q3d
