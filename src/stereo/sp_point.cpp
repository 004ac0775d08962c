#include "stereo/sp_point.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

#include "base/error_stack.h"

namespace q3d {
namespace {

// Points read from a file may hold any double: truncate toward zero into the int32 range
// (NaN gives 0) instead of overflowing.
int32_t TruncToInt32(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

int32_t ClampToInt32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

}  // namespace

double CSpPoint::Distance(const CSpPoint& other) const {
  const double dx = m_x - other.m_x;
  const double dy = m_y - other.m_y;
  return std::sqrt(dx * dx + dy * dy);
}

double CSpPoint::Distance(Pixel p) const { return Distance(CSpPoint(p)); }

int CSpPointSet::Add(std::unique_ptr<CSpPoint> point) {
  if (!point) return 0;
  try {
    point->m_id = m_nextId;
    m_list.push_back(std::move(point));
  } catch (const std::bad_alloc&) {
    PushOutOfMemory();
    return 0;
  }
  ++m_nextId;
  return 1;
}

CSpPoint* CSpPointSet::FindById(int32_t id) const {
  for (const auto& p : m_list)
    if (p->m_id == id) return p.get();
  return nullptr;
}

CSpPoint* CSpPointSet::FindNearest(Pixel pixel, double maxDist) const {
  CSpPoint* best = nullptr;
  double bestDist = 0.0;
  for (const auto& p : m_list) {
    const double d = p->Distance(pixel);
    if (!best || d < bestDist) {
      best = p.get();
      bestDist = d;
    }
  }
  if (best && bestDist > maxDist) return nullptr;
  return best;
}

int CSpPointSet::CountSelected(int32_t value) const {
  int n = 0;
  for (const auto& p : m_list) n += p->m_selected == value;
  return n;
}

CSpPoint* CSpPointSet::FindFirstSelected(int32_t value) const {
  for (const auto& p : m_list)
    if (p->m_selected == value) return p.get();
  return nullptr;
}

void CSpPointSet::SetAllSelected(int32_t value) {
  for (auto& p : m_list) p->m_selected = value;
}

void CSpPointSet::SelectInRect(const Rect& rect, int32_t value) {
  for (auto& p : m_list) {
    const int x = TruncToInt32(p->m_x + 0.5);
    const int y = TruncToInt32(p->m_y + 0.5);
    if (x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom) p->m_selected = value;
  }
}

void CSpPointSet::InvertSelection() {
  for (auto& p : m_list) p->m_selected = p->m_selected == 0 ? 1 : 0;
}

void CSpPointSet::RemoveWithSelection(int32_t value) {
  m_list.remove_if([value](const auto& p) { return p->m_selected == value; });
}

void CSpPointSet::RemoveAll() {
  while (!m_list.empty()) m_list.pop_back();
  m_nextId = 0;
}

void CSpPointSet::GetBoundingRoi(IplROI& roi) const {
  if (m_list.empty()) {
    roi = IplROI{};
    return;
  }
  double minX = m_list.front()->m_x, maxX = minX;
  double minY = m_list.front()->m_y, maxY = minY;
  for (const auto& p : m_list) {
    minX = std::min(minX, p->m_x);
    maxX = std::max(maxX, p->m_x);
    minY = std::min(minY, p->m_y);
    maxY = std::max(maxY, p->m_y);
  }
  roi.xOffset = TruncToInt32(minX);
  roi.yOffset = TruncToInt32(minY);
  roi.width = ClampToInt32(int64_t{TruncToInt32(maxX + 1)} - TruncToInt32(minX));
  roi.height = ClampToInt32(int64_t{TruncToInt32(maxY + 1)} - TruncToInt32(minY));
}

}  // namespace q3d
