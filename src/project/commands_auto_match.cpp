#include "project/commands_auto_match.h"

#include "base/error_stack.h"
#include "matching/automatic_matching.h"

namespace q3d {

bool AutoMatchingReplacesWork(const CProjectDoc& doc) {
  return doc.m_stereoPair.m_matches.Count() > 0 || doc.m_camera1.m_points.Count() > 0 ||
         doc.m_camera2.m_points.Count() > 0;
}

Status RunAutomaticMatching(CProjectDoc& doc, const AutoMatchParams& params, Progress* progress) {
  EditScope edit(doc, "Automatic Matching");
  const bool wasRendered = doc.IsRendered();
  if (Status matched = AutomaticMatching(doc.m_stereoPair, params, progress); !matched) {
    PushErrorText(matched.Reason(), matched.Code(), matched.Severity());
    return matched;
  }
  if (wasRendered) {
    doc.m_model.Clear();
    if (doc.m_resetPanes) doc.m_resetPanes();
  }
  doc.SetModifiedFlag();
  doc.UpdateAllViews(nullptr, kHintPointsChanged);
  return Status::Ok();
}

}  // namespace q3d
