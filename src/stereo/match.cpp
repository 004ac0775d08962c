#include "stereo/match.h"

#include <new>

#include "base/error_stack.h"

namespace q3d {

CMatch::CMatch(CSpPoint* a, CSpPoint* b, bool swap)
    : m_point1(swap ? b : a), m_point2(swap ? a : b) {
  m_id1 = m_point1 ? m_point1->m_id : 0;
  m_id2 = m_point2 ? m_point2->m_id : 0;
}

void CMatch::SyncSelection(int direction) {
  if (!m_point1 || !m_point2) return;
  if (direction == 0)
    m_point2->m_selected = m_point1->m_selected;
  else
    m_point1->m_selected = m_point2->m_selected;
}

int CMatchSet::Add(std::unique_ptr<CMatch> match) {
  if (!match) return 0;
  try {
    match->m_id = m_nextId;
    m_list.push_back(std::move(match));
  } catch (const std::bad_alloc&) {
    PushOutOfMemory();
    return 0;
  }
  ++m_nextId;
  return 1;
}

void CMatchSet::SyncSelection(int direction) {
  for (auto& m : m_list) m->SyncSelection(direction);
}

void CMatchSet::RemoveWithSelection(int32_t value) {
  m_list.remove_if([value](const auto& m) {
    return (m->m_point1 && m->m_point1->m_selected == value) ||
           (m->m_point2 && m->m_point2->m_selected == value);
  });
  if (m_list.empty()) m_nextId = 0;
}

void CMatchSet::RemoveAll() {
  m_list.clear();
  m_nextId = 0;
}

void CMatchSet::ToMatrix(Matrix& M) const {
  if (m_list.empty()) return;
  M.resize(static_cast<Eigen::Index>(m_list.size()), 4);
  Eigen::Index k = 0;
  for (const auto& m : m_list) {
    M(k, 0) = m->m_point1->m_x + 1.0;
    M(k, 1) = m->m_point1->m_y + 1.0;
    M(k, 2) = m->m_point2->m_x + 1.0;
    M(k, 3) = m->m_point2->m_y + 1.0;
    ++k;
  }
}

}  // namespace q3d
