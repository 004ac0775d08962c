#include "stereo/camera.h"

#include "base/archive.h"
#include "base/printable_text.h"
#include "stereo/image_record.h"

namespace q3d {

void CCamera::Clear() {
  m_points.RemoveAll();
  m_focal = CameraFocal{};
  if (m_image.HasData()) FreeImage(m_image);
  if (m_gray.HasData()) FreeImage(m_gray);
}

void CCamera::Serialize(Archive& ar) {
  static const char* const kPointClass = "CSpPoint";
  if (ar.IsStoring()) {
    ar.WriteInt32(m_points.m_nextId);
    ar.WriteCount(m_points.m_list.size());
    for (const auto& p : m_points.m_list) {
      ar.WriteObjectTag(kPointClass);
      ar.WriteInt32(p->m_id);
      ar.WriteDouble(p->m_x);
      ar.WriteDouble(p->m_y);
    }
    WriteImage(ar, m_image);
    return;
  }
  m_points.RemoveAll();
  m_points.m_nextId = ar.ReadInt32();
  const size_t count = ar.ReadCount(2);
  for (size_t i = 0; i < count; ++i) {
    const std::string cls = ar.ReadObjectTag();
    if (cls.empty()) continue;  // a null entry holds nothing
    if (cls != kPointClass)
      throw ArchiveError("The file holds a " + PrintableText(cls) + " where a point was expected.");
    auto point = std::make_unique<CSpPoint>();
    point->m_id = ar.ReadInt32();
    point->m_x = ar.ReadDouble();
    point->m_y = ar.ReadDouble();
    m_points.m_list.push_back(std::move(point));
  }
  ReadImage(ar, m_image);
  if (m_gray.HasData()) FreeImage(m_gray);
  if (!MakeGray()) throw ArchiveError("The image of the file cannot be converted to grey.");
  m_roi = MakeRoi(0, 0, 0, m_image.Width(), m_image.Height());
}

}  // namespace q3d
