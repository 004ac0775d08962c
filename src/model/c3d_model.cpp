#include "model/c3d_model.h"

#include "base/archive.h"
#include "stereo/image_record.h"
#include "stereo/stereo_pair.h"

namespace q3d {

C3DModel::C3DModel(CStereoPair* stereoPair) : m_stereoPair(stereoPair) {}

void C3DModel::Clear() {
  FreeImage(m_texture);
  m_sourceRoi = IplROI{};
  m_drawnDense = {};
}

void C3DModel::Serialize(Archive& ar) {
  if (ar.IsStoring())
    WriteImage(ar, m_texture);
  else
    ReadImage(ar, m_texture);
  // The stored texture belongs to the current points' region: keep it on the next build.
  if (m_stereoPair && m_stereoPair->m_camera1) m_stereoPair->m_camera1->m_points.GetBoundingRoi(m_sourceRoi);
}

}  // namespace q3d
