#include "stereo/stereo_pair.h"

#include "base/archive.h"
#include "base/printable_text.h"
#include "stereo/loaded_records.h"

namespace q3d {

CStereoPair::CStereoPair(CCamera* camera1, CCamera* camera2)
    : m_camera1(camera1),
      m_camera2(camera2),
      m_matches(&camera1->m_points, &camera2->m_points),
      m_R1(Matrix::Identity(3, 3)),
      m_t1(Matrix::Zero(3, 1)) {
  ResetResults();
}

CStereoPair::CStereoPair() = default;

void CStereoPair::ResetResults() {
  m_rendered = 0;
  m_F = Matrix::Zero(3, 3);
  m_e1 = Matrix::Zero(2, 1);
  m_e2 = Matrix::Zero(2, 1);
  m_A1 = Matrix::Zero(3, 3);
  m_Rcam = Matrix::Zero(3, 3);
  m_t = Matrix::Zero(3, 1);
  m_A2 = Matrix::Zero(3, 3);
  m_XW = Matrix::Zero(1, 3);
  m_focalSource = {FocalSource::kMeasured, FocalSource::kMeasured};
}

void CStereoPair::ResetAll() {
  ResetResults();
  m_matches.RemoveAll();
}

void WriteFixedMatrix(Archive& ar, const Matrix& M, int rows, int cols) {
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) ar.WriteDouble(r < M.rows() && c < M.cols() ? M(r, c) : 0.0);
}

Matrix ReadFixedMatrix(Archive& ar, int rows, int cols) {
  Matrix M(rows, cols);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) M(r, c) = ar.ReadDouble();
  return M;
}

void CStereoPair::WriteModelData(Archive& ar) const {
  ar.WriteInt32(m_camera1 ? m_camera1->Width() : 0);
  ar.WriteInt32(m_camera1 ? m_camera1->Height() : 0);
  ar.WriteInt32(m_camera2 ? m_camera2->Width() : 0);
  ar.WriteInt32(m_camera2 ? m_camera2->Height() : 0);
  WriteFixedMatrix(ar, m_F, 3, 3);
  WriteFixedMatrix(ar, m_A1, 3, 3);
  WriteFixedMatrix(ar, m_A2, 3, 3);
  WriteFixedMatrix(ar, m_Rcam, 3, 3);
  WriteFixedMatrix(ar, m_t, 3, 1);
  Matrix M;
  m_matches.ToMatrix(M);
  const int n = m_matches.Count();
  ar.WriteInt32(n);
  if (n > 0) WriteFixedMatrix(ar, M, n, 4);
}

void CStereoPair::Serialize(Archive& ar) {
  static const char* const kMatchClass = "CMatch";
  if (ar.IsStoring()) {
    ar.WriteInt32(m_matches.m_nextId);
    ar.WriteCount(m_matches.m_list.size());
    for (const auto& m : m_matches.m_list) {
      ar.WriteObjectTag(kMatchClass);
      ar.WriteInt32(m->m_id);
      ar.WriteInt32(m->m_id1);
      ar.WriteInt32(m->m_id2);
    }
    ar.WriteInt32(m_rendered);
    WriteFixedMatrix(ar, m_F, 3, 3);
    WriteFixedMatrix(ar, m_e1, 2, 1);
    WriteFixedMatrix(ar, m_e2, 2, 1);
    WriteFixedMatrix(ar, m_Rcam, 3, 3);
    WriteFixedMatrix(ar, m_t, 3, 1);
    WriteFixedMatrix(ar, m_A1, 3, 3);
    WriteFixedMatrix(ar, m_A2, 3, 3);
    const int n = static_cast<int>(m_XW.rows());
    ar.WriteInt32(n);
    WriteFixedMatrix(ar, m_XW, n, 3);
    return;
  }
  m_matches.RemoveAll();
  m_matches.m_nextId = ar.ReadInt32();
  const size_t count = ar.ReadCount(2);
  for (size_t i = 0; i < count; ++i) {
    const std::string cls = ar.ReadObjectTag();
    if (cls.empty()) continue;
    if (cls != kMatchClass)
      throw ArchiveError("The file holds a " + PrintableText(cls) + " where a match was expected.");
    auto match = std::make_unique<CMatch>();
    match->m_id = ar.ReadInt32();
    match->m_id1 = ar.ReadInt32();
    match->m_id2 = ar.ReadInt32();
    m_matches.m_list.push_back(std::move(match));
  }
  // A match whose points are missing would be dereferenced by every view: refuse it.
  LinkLoadedMatches(m_matches, m_camera1->m_points, m_camera2->m_points);
  m_rendered = ar.ReadInt32() != 0 ? 1 : 0;
  m_F = ReadFixedMatrix(ar, 3, 3);
  m_e1 = ReadFixedMatrix(ar, 2, 1);
  m_e2 = ReadFixedMatrix(ar, 2, 1);
  m_Rcam = ReadFixedMatrix(ar, 3, 3);
  m_t = ReadFixedMatrix(ar, 3, 1);
  m_A1 = ReadFixedMatrix(ar, 3, 3);
  m_A2 = ReadFixedMatrix(ar, 3, 3);
  const int32_t n = ar.ReadInt32();
  if (n < 0 || static_cast<size_t>(n) > ar.Remaining() / 24)
    throw ArchiveError("The file holds more 3D points than it has room for.");
  m_XW = ReadFixedMatrix(ar, n, 3);
}

}  // namespace q3d
