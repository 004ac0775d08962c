#include "stereo/loaded_records.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "base/archive.h"

namespace q3d {
namespace {

std::string Number(double v) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%g", v);
  return buffer;
}

// Identifiers from 0 up, each below the counter, which must leave room for one more.
void CheckIdentifiers(const std::string& what, int32_t nextId, int32_t id,
                      std::unordered_set<int32_t>& seen) {
  if (id < 0) throw ArchiveError(what + " has the negative identifier " + std::to_string(id) + ".");
  if (id >= nextId)
    throw ArchiveError(what + " has the identifier " + std::to_string(id) +
                       ", not below the file's next identifier " + std::to_string(nextId) + ".");
  if (!seen.insert(id).second)
    throw ArchiveError(what + " repeats the identifier " + std::to_string(id) + ".");
}

void CheckCounter(const std::string& what, int32_t nextId) {
  if (nextId < 0 || nextId == std::numeric_limits<int32_t>::max())
    throw ArchiveError("The " + what + " have the impossible next identifier " +
                       std::to_string(nextId) + ".");
}

}  // namespace

void CheckLoadedPoints(const CSpPointSet& points, int width, int height, int imageNumber) {
  const std::string image = "image " + std::to_string(imageNumber);
  CheckCounter("points of " + image, points.m_nextId);
  const bool bounded = width > 0 && height > 0;
  const double right = (bounded ? width : kLargestImageSide) + kPointMarginPixels;
  const double bottom = (bounded ? height : kLargestImageSide) + kPointMarginPixels;
  std::unordered_set<int32_t> seen;
  seen.reserve(points.m_list.size());
  size_t index = 0;
  for (const auto& p : points.m_list) {
    const std::string what = "Point " + std::to_string(index++) + " of " + image;
    CheckIdentifiers(what, points.m_nextId, p->m_id, seen);
    if (!std::isfinite(p->m_x) || !std::isfinite(p->m_y))
      throw ArchiveError(what + " has a coordinate that is not a number.");
    if (p->m_x < -kPointMarginPixels || p->m_x > right || p->m_y < -kPointMarginPixels ||
        p->m_y > bottom)
      throw ArchiveError(what + " lies outside the image: (" + Number(p->m_x) + ", " +
                         Number(p->m_y) + ") in " + std::to_string(width) + " x " +
                         std::to_string(height) + " pixels.");
  }
}

void LinkLoadedMatches(CMatchSet& matches, const CSpPointSet& points1, const CSpPointSet& points2) {
  CheckCounter("matches", matches.m_nextId);
  std::unordered_map<int32_t, CSpPoint*> byId1, byId2;
  byId1.reserve(points1.m_list.size());
  byId2.reserve(points2.m_list.size());
  for (const auto& p : points1.m_list) byId1.emplace(p->m_id, p.get());
  for (const auto& p : points2.m_list) byId2.emplace(p->m_id, p.get());
  std::unordered_set<int32_t> seen;
  seen.reserve(matches.m_list.size());
  size_t index = 0;
  for (const auto& m : matches.m_list) {
    const std::string what = "Match " + std::to_string(index++);
    CheckIdentifiers(what, matches.m_nextId, m->m_id, seen);
    const auto a = byId1.find(m->m_id1);
    const auto b = byId2.find(m->m_id2);
    if (a == byId1.end())
      throw ArchiveError(what + " refers to point " + std::to_string(m->m_id1) +
                         " of image 1, which the file does not hold.");
    if (b == byId2.end())
      throw ArchiveError(what + " refers to point " + std::to_string(m->m_id2) +
                         " of image 2, which the file does not hold.");
    m->m_point1 = a->second;
    m->m_point2 = b->second;
  }
}

}  // namespace q3d
