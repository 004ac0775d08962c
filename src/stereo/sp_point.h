#pragma once
// Feature points and the point set of one camera.
#include <cstdint>
#include <list>
#include <memory>

#include "stereo/image.h"

namespace q3d {

struct Pixel {
  int x = 0;
  int y = 0;
};

class CSpPoint {
 public:
  CSpPoint() = default;
  CSpPoint(double x, double y) : m_x(x), m_y(y) {}
  CSpPoint(Pixel p) : m_x(p.x), m_y(p.y) {}

  double Distance(const CSpPoint& other) const;
  double Distance(Pixel p) const;

  int32_t m_id = 0;
  double m_x = 0.0;
  double m_y = 0.0;
  int32_t m_selected = 0;  // not saved
};

class CSpPointSet {
 public:
  using List = std::list<std::unique_ptr<CSpPoint>>;

  CSpPointSet() = default;
  CSpPointSet(const CSpPointSet&) = delete;
  CSpPointSet& operator=(const CSpPointSet&) = delete;

  // Takes ownership; gives the point the next identifier. Returns 1, or 0 after pushing
  // the out-of-memory record (the caller keeps nothing: the point is released).
  int Add(std::unique_ptr<CSpPoint> point);
  CSpPoint* FindById(int32_t id) const;
  // Nearest point to the pixel (earliest wins ties); none beyond maxDist.
  CSpPoint* FindNearest(Pixel pixel, double maxDist) const;
  int CountSelected(int32_t value) const;
  CSpPoint* FindFirstSelected(int32_t value) const;
  void SetAllSelected(int32_t value);
  // Points whose rounded position lies in [left, right) x [top, bottom).
  void SelectInRect(const Rect& rect, int32_t value);
  void InvertSelection();
  void RemoveWithSelection(int32_t value);
  void RemoveAll();
  // Bounding region of the points; all zero when empty; the channel field is kept.
  void GetBoundingRoi(IplROI& roi) const;

  int Count() const { return static_cast<int>(m_list.size()); }
  const List& Points() const { return m_list; }

  List m_list;
  int32_t m_nextId = 0;
};

}  // namespace q3d
