#include "project/render_summary.h"

#include <cmath>
#include <cstdio>

#include "project/project_doc.h"
#include "project/reprojection.h"

namespace q3d {
namespace {

const char* SourceText(FocalSource source) {
  switch (source) {
    case FocalSource::kExif:
      return "EXIF";
    case FocalSource::kEntered:
      return "entered";
    case FocalSource::kAssumed:
      return "assumed";
    case FocalSource::kMeasured:
      break;
  }
  return "measured";
}

}  // namespace

std::string RenderSummary(const CProjectDoc& doc) {
  if (!doc.IsRendered()) return {};
  char text[200];
  std::snprintf(text, sizeof text, "Rendered: f1 %.0f px (%s), f2 %.0f px (%s)",
                doc.RenderedFocal(0), SourceText(doc.m_stereoPair.m_focalSource[0]),
                doc.RenderedFocal(1), SourceText(doc.m_stereoPair.m_focalSource[1]));
  std::string summary = text;
  if (const auto errors = ComputeReprojectionErrors(doc.m_stereoPair);
      errors && std::isfinite(errors->median_px)) {
    std::snprintf(text, sizeof text, "; median reprojection error %.2f px", errors->median_px);
    summary += text;
  }
  return summary + ".";
}

std::string WhyRenderUnavailable(const CProjectDoc& doc) {
  if (doc.ReadyToRender()) return {};
  if (doc.IsRendered())
    return "The project is rendered: Remove Render Data (Ctrl+Alt+R) renders it again from "
           "scratch.";
  if (!doc.ImagesLoaded())
    return "Render needs the two photographs: Set Images (Ctrl+W) chooses them.";
  return "Render needs at least 10 matches: " + std::to_string(doc.m_stereoPair.m_matches.Count()) +
         " so far.";
}

}  // namespace q3d
