#pragma once
// Matches between a point of image 1 and a point of image 2, and the match set.
#include <cstdint>
#include <list>
#include <memory>

#include "numeric/matrix.h"
#include "stereo/sp_point.h"

namespace q3d {

class CMatch {
 public:
  CMatch() = default;
  // With swap clear, a is the image-1 point; with swap set, b is.
  CMatch(CSpPoint* a, CSpPoint* b, bool swap = false);

  // direction 0 copies image 1's selection to image 2; any other value the reverse.
  void SyncSelection(int direction);

  int32_t m_id = 0;
  int32_t m_id1 = 0;
  int32_t m_id2 = 0;
  CSpPoint* m_point1 = nullptr;  // not owned
  CSpPoint* m_point2 = nullptr;  // not owned
};

class CMatchSet {
 public:
  using List = std::list<std::unique_ptr<CMatch>>;

  CMatchSet() = default;
  CMatchSet(CSpPointSet* points1, CSpPointSet* points2) : m_points1(points1), m_points2(points2) {}
  CMatchSet(const CMatchSet&) = delete;
  CMatchSet& operator=(const CMatchSet&) = delete;

  int Add(std::unique_ptr<CMatch> match);
  void SyncSelection(int direction);
  // Removes every match one of whose points has the given selection value.
  void RemoveWithSelection(int32_t value);
  void RemoveAll();
  // n x 4 rows [x1+1, y1+1, x2+1, y2+1] in list order; M unchanged when empty.
  void ToMatrix(Matrix& M) const;

  int Count() const { return static_cast<int>(m_list.size()); }
  const List& Matches() const { return m_list; }

  List m_list;
  CSpPointSet* m_points1 = nullptr;
  CSpPointSet* m_points2 = nullptr;
  int32_t m_nextId = 0;
};

}  // namespace q3d
