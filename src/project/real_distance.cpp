#include "project/real_distance.h"

#include <iterator>

namespace q3d {
namespace {

// The number (from 1) of the match with this identifier, 0 when there is none.
int NumberOf(const CProjectDoc& doc, int32_t id) {
  int number = 1;
  for (const auto& match : doc.m_stereoPair.m_matches.Matches()) {
    if (match->m_id == id) return number;
    ++number;
  }
  return 0;
}

}  // namespace

Status SetRealDistance(CProjectDoc& doc, int first, int second, double millimetres) {
  const int count = doc.m_stereoPair.m_matches.Count();
  for (int number : {first, second})
    if (number < 1 || number > count)
      return Status::Fail("Match " + std::to_string(number) + " is not in 1.." +
                          std::to_string(count) + ".");
  auto idAt = [&](int number) {
    auto it = doc.m_stereoPair.m_matches.Matches().begin();
    std::advance(it, number - 1);
    return (*it)->m_id;
  };
  EditScope edit(doc, "Real Distance");
  Status set = SetMetricScale(doc.m_stereoPair, idAt(first), idAt(second), millimetres,
                              doc.m_model.m_metricScale);
  if (set) doc.SetModifiedFlag();
  return set;
}

void ClearRealDistance(CProjectDoc& doc) {
  if (!doc.m_model.m_metricScale.IsSet()) return;
  EditScope edit(doc, "Remove Real Distance");
  doc.m_model.m_metricScale = {};
  doc.SetModifiedFlag();
}

std::optional<RealDistanceState> CurrentRealDistance(CProjectDoc& doc) {
  const MetricScale& scale = doc.m_model.m_metricScale;
  if (!scale.IsSet()) return std::nullopt;
  return RealDistanceState{NumberOf(doc, scale.match1), NumberOf(doc, scale.match2),
                           scale.millimetres, MillimetresPerUnit(doc.m_stereoPair, scale)};
}

}  // namespace q3d
