#include "project/commands_auto_match.h"

#include "base/error_stack.h"
#include "base/result.h"
#include "matching/automatic_matching.h"

namespace q3d {

bool AutoMatchingReplacesWork(const CProjectDoc& doc) {
  return doc.m_stereoPair.m_matches.Count() > 0 || doc.m_camera1.m_points.Count() > 0 ||
         doc.m_camera2.m_points.Count() > 0;
}

Status FindProjectMatches(const CProjectDoc& doc, const AutoMatchParams& params,
                          std::vector<PointPair>& found, Progress* progress) {
  const Status matched =
      FindAutomaticMatches(doc.m_camera1, doc.m_camera2, params, found, nullptr, progress);
  if (!matched && !IsCancelled(matched))
    PushErrorText(matched.Reason(), matched.Code(), matched.Severity());
  return matched;
}

Status ApplyAutomaticMatches(CProjectDoc& doc, const std::vector<PointPair>& found) {
  EditScope edit(doc, "Automatic Matching");
  const bool wasRendered = doc.IsRendered();
  if (Status stored = ReplaceWithMatches(doc.m_stereoPair, found); !stored) {
    PushErrorText(stored.Reason(), stored.Code(), stored.Severity());
    return stored;
  }
  if (wasRendered) {
    doc.m_model.Clear();
    if (doc.m_resetPanes) doc.m_resetPanes();
  }
  doc.SetModifiedFlag();
  doc.UpdateAllViews(nullptr, kHintPointsChanged);
  return Status::Ok();
}

Status RunAutomaticMatching(CProjectDoc& doc, const AutoMatchParams& params, Progress* progress) {
  std::vector<PointPair> found;
  if (Status matched = FindProjectMatches(doc, params, found, progress); !matched) return matched;
  return ApplyAutomaticMatches(doc, found);
}

}  // namespace q3d
