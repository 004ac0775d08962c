// The model's block of the 3D model file.
#include "model/c3d_model.h"
#include "base/archive.h"
#include "stereo/image_record.h"

namespace q3d {

void C3DModel::WriteModel(Archive& ar) const {
  WriteImage(ar, m_texture);
  ar.WriteInt32(m_sourceRoi.xOffset);
  ar.WriteInt32(m_sourceRoi.yOffset);
  ar.WriteInt32(m_sourceRoi.width);
  ar.WriteInt32(m_sourceRoi.height);
}

}  // namespace q3d
