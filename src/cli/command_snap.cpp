// snap: a point on the marker under a pixel, as a Shift-click in a camera view places it.
#include <cstdio>

#include "cli/commands.h"
#include "cli/project_files.h"
#include "base/error_stack.h"
#include "project/project_doc.h"

namespace q3d::cli {
namespace {

CommandResult RunSnap(const ParsedArguments& arguments) {
  const std::string& path = arguments.Positionals()[0];
  const std::string output = OutputPathOr(arguments, path);
  std::string error;
  const auto cameraNumber = ParseInteger("--camera", *arguments.Value("--camera"), 1, 2, error);
  if (!cameraNumber) return Failure(error);
  const auto at = ParsePixelPosition("--at", *arguments.Value("--at"), error);
  if (!at) return Failure(error);

  CProjectDoc doc;
  if (const auto openError = OpenProject(doc, path)) return Failure(*openError);
  const int index = static_cast<int>(*cameraNumber) - 1;
  CCamera& camera = doc.Camera(index);
  const std::string imageName = "image " + std::to_string(*cameraNumber);
  if (!camera.HasImage()) return Failure(path + ": " + imageName + " is not loaded");
  if (at->x < 0 || at->y < 0 || at->x >= camera.Width() || at->y >= camera.Height())
    return Failure("--at " + std::to_string(at->x) + "," + std::to_string(at->y) +
                   " lies outside " + imageName + " (" + std::to_string(camera.Width()) + " x " +
                   std::to_string(camera.Height()) + " pixels)");

  ClearErrors();
  int found = 0;
  if (camera.AddPointAt(at->x, at->y, found) != 1)
    return Failure(PopErrorMessage("Error: the point could not be placed"));

  CommandResult result;
  result.json.Set("command", "snap");
  result.json.Set("camera", static_cast<int>(*cameraNumber));
  result.json.Set("at", JsonValue::Array{at->x, at->y});
  result.json.Set("found", found == 1);
  if (found == 1) {
    doc.SetModifiedFlag();
    const CSpPoint& point = *camera.m_points.m_list.back();
    JsonValue pointJson = JsonValue::Object{};
    pointJson.Set("id", point.m_id);
    pointJson.Set("x", point.m_x);
    pointJson.Set("y", point.m_y);
    result.json.Set("point", std::move(pointJson));
    char line[160];
    std::snprintf(line, sizeof line, "Point %d placed in %s at (%.3f, %.3f)", point.m_id,
                  imageName.c_str(), point.m_x, point.m_y);
    result.text.push_back(line);
  } else {
    result.text.push_back("No marker found under (" + std::to_string(at->x) + ", " +
                          std::to_string(at->y) + ") in " + imageName);
  }

  // An unchanged project is not rewritten in place; a separate output is always written so
  // that scripts can chain on it.
  if (found == 1 || output != path) {
    if (const auto saveError = SaveProjectSafely(doc, output)) return Failure(*saveError);
    result.json.Set("output", output);
  }
  return result;
}

}  // namespace

Command SnapCommand() {
  CommandSpec spec;
  spec.name = "snap";
  spec.positionals = "P.qvp";
  spec.positionalCount = 1;
  spec.summary =
      "Places a point on the centre of the dark marker under the pixel X,Y of the chosen image, "
      "as a Shift-click does, and prints it, or says that no marker was found there.";
  spec.options = {
      {"--camera", "", "1|2", "the image to place the point in", true},
      {"--at", "", "X,Y", "the pixel under the marker (0-based column and row)", true},
      kOutputProjectOption,
  };
  return {spec, &RunSnap};
}

}  // namespace q3d::cli
