#include "project/optional_records.h"

#include <string>

#include "base/archive.h"
#include "project/metric_scale_record.h"
#include "project/project_doc.h"
#include "stereo/camera_model_record.h"
#include "stereo/focal_record.h"

namespace q3d {
namespace {

// The dense surface as the project's model: the four bytes "QDNS", a version, the size of
// what follows, then whether the 3D view shows the dense surface and its margin.
constexpr char kDenseTag[4] = {'Q', 'D', 'N', 'S'};
constexpr int32_t kDenseVersion = 1;
constexpr uint32_t kDenseBodySize = 1 + 8;
constexpr double kLargestDenseMargin = 0.5;

void WriteDenseRecord(Archive& ar, const C3DModel& model) {
  if (!model.m_showDense) return;
  ar.WriteBytes(kDenseTag, sizeof kDenseTag);
  ar.WriteInt32(kDenseVersion);
  ar.WriteUInt32(kDenseBodySize);
  const uint8_t shown = 1;
  ar.WriteBytes(&shown, 1);
  ar.WriteDouble(model.m_denseMargin);
}

bool ReadDenseRecord(Archive& ar, C3DModel& model) {
  if (!ar.NextBytesAre(kDenseTag, sizeof kDenseTag)) return false;
  char tag[sizeof kDenseTag];
  ar.ReadBytes(tag, sizeof tag);
  if (const int32_t version = ar.ReadInt32(); version != kDenseVersion)
    throw ArchiveError("The dense-surface record is of version " + std::to_string(version) +
                       ", which this version of Quorvan 3D cannot read.");
  if (ar.ReadUInt32() != kDenseBodySize || ar.Remaining() < kDenseBodySize)
    throw ArchiveError("The dense-surface record is damaged.");
  uint8_t shown = 0;
  ar.ReadBytes(&shown, 1);
  const double margin = ar.ReadDouble();
  if (shown > 1 || !(margin >= 0 && margin <= kLargestDenseMargin))
    throw ArchiveError("The dense-surface record is damaged.");
  model.m_showDense = shown == 1;
  model.m_denseMargin = margin;
  return true;
}

}  // namespace

void SerializeOptionalRecords(Archive& ar, CProjectDoc& doc) {
  if (ar.IsStoring()) {
    WriteFocalRecord(ar, doc.m_camera1, doc.m_camera2, doc.m_stereoPair);
    WriteMetricScale(ar, doc.m_model.m_metricScale);
    WriteDenseRecord(ar, doc.m_model);
    WriteCameraModelRecord(ar, doc.m_camera1, doc.m_camera2, doc.m_stereoPair);
    return;
  }
  ClearFocalRecord(doc.m_camera1, doc.m_camera2, doc.m_stereoPair);
  doc.m_model.m_metricScale = {};
  doc.m_model.m_showDense = false;
  ClearCameraModelRecord(doc.m_camera1, doc.m_camera2, doc.m_stereoPair);
  bool focal = false, scale = false, dense = false, cameras = false;
  const auto once = [](bool& seen, const char* name) {
    if (seen) throw ArchiveError(std::string("The file holds the ") + name + " record twice.");
    seen = true;
  };
  while (ar.Remaining() > 0) {
    const size_t before = ar.Position();
    if (ReadFocalRecord(ar, doc.m_camera1, doc.m_camera2, doc.m_stereoPair))
      once(focal, "focal-length");
    else if (ReadMetricScale(ar, doc.m_model.m_metricScale))
      once(scale, "real-distance");
    else if (ReadDenseRecord(ar, doc.m_model))
      once(dense, "dense-surface");
    else if (ReadCameraModelRecord(ar, doc.m_camera1, doc.m_camera2, doc.m_stereoPair))
      once(cameras, "camera");
    if (ar.Position() == before)
      throw ArchiveError("The file holds " + std::to_string(ar.Remaining()) +
                         " bytes after the 3D model that are no record this version of "
                         "Quorvan 3D reads.");
  }
}

}  // namespace q3d
