#pragma once
// What the tool reports about a project: images, points, matches, the render state and,
// after a render, the calibration, the pose of camera 2 and the reprojection error.
#include <string>
#include <vector>

#include "cli/json_value.h"

namespace q3d {
class CProjectDoc;
}

namespace q3d::cli {

struct ProjectReport {
  JsonValue json = JsonValue::Object{};
  std::vector<std::string> text;
};

// The counts and the render state.
ProjectReport ReportProjectContents(const CProjectDoc& doc);

// Appends f1, f2, R, t and the reprojection error when the project is rendered with a
// usable result. The 3D points are re-triangulated first when they no longer match the
// match list, which is why the document is not const.
void AppendRenderResults(CProjectDoc& doc, ProjectReport& report);

}  // namespace q3d::cli
