// snap: a point on the marker under a pixel, as a Shift-click in a camera view places it,
// or every point of the project re-centred on the marker under it.
#include <cstdio>
#include <optional>
#include <string>

#include "base/error_stack.h"
#include "cli/commands.h"
#include "cli/project_files.h"
#include "project/project_doc.h"
#include "project/recentre_points.h"

namespace q3d::cli {
namespace {

// An unchanged project is not rewritten in place; a separate output is always written so
// that scripts can chain on it.
std::optional<std::string> SaveIfChanged(CProjectDoc& doc, bool changed, const std::string& path,
                                         const std::string& output, CommandResult& result) {
  if (!changed && output == path) return std::nullopt;
  if (auto saveError = SaveProjectSafely(doc, output)) return saveError;
  result.json.Set("output", output);
  return std::nullopt;
}

CommandResult RecentreAll(CProjectDoc& doc, DotCentring centring, const std::string& path,
                          const std::string& output) {
  ClearErrors();
  RecentreReport report;
  if (RecentrePointsOnDots(doc, centring, &report) != 1)
    return Failure(PopErrorMessage("Error: the points could not be re-centred"));
  CommandResult result;
  result.json.Set("command", "snap");
  result.json.Set("moved", report.moved);
  result.json.Set("unchanged", report.unchanged);
  result.text.push_back(std::to_string(report.moved) + " of " +
                        std::to_string(report.moved + report.unchanged) +
                        " points re-centred on their markers");
  if (const auto saveError = SaveIfChanged(doc, report.moved > 0, path, output, result))
    return Failure(*saveError);
  return result;
}

struct SnapTarget {
  int cameraNumber = 1;
  PixelPosition at;
};

std::optional<SnapTarget> ParseTarget(const ParsedArguments& arguments, std::string& error) {
  const auto cameraText = arguments.Value("--camera");
  const auto atText = arguments.Value("--at");
  if (!cameraText || !atText) {
    error = "'snap' needs --camera and --at, or --all";
    return std::nullopt;
  }
  const auto cameraNumber = ParseInteger("--camera", *cameraText, 1, 2, error);
  if (!cameraNumber) return std::nullopt;
  const auto at = ParsePixelPosition("--at", *atText, error);
  if (!at) return std::nullopt;
  return SnapTarget{static_cast<int>(*cameraNumber), *at};
}

CommandResult SnapOne(CProjectDoc& doc, const SnapTarget& target, DotCentring centring,
                      const std::string& path, const std::string& output) {
  const PixelPosition& at = target.at;
  CCamera& camera = doc.Camera(target.cameraNumber - 1);
  const std::string imageName = "image " + std::to_string(target.cameraNumber);
  if (!camera.HasImage()) return Failure(path + ": " + imageName + " is not loaded");
  if (at.x < 0 || at.y < 0 || at.x >= camera.Width() || at.y >= camera.Height())
    return Failure("--at " + std::to_string(at.x) + "," + std::to_string(at.y) + " lies outside " +
                   imageName + " (" + std::to_string(camera.Width()) + " x " +
                   std::to_string(camera.Height()) + " pixels)");

  ClearErrors();
  int found = 0;
  if (camera.AddPointAt(at.x, at.y, found, centring) != 1)
    return Failure(PopErrorMessage("Error: the point could not be placed"));

  CommandResult result;
  result.json.Set("command", "snap");
  result.json.Set("camera", target.cameraNumber);
  result.json.Set("at", JsonValue::Array{at.x, at.y});
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
    result.text.push_back("No marker found under (" + std::to_string(at.x) + ", " +
                          std::to_string(at.y) + ") in " + imageName);
  }
  if (const auto saveError = SaveIfChanged(doc, found == 1, path, output, result))
    return Failure(*saveError);
  return result;
}

CommandResult RunSnap(const ParsedArguments& arguments) {
  const std::string& path = arguments.Positionals()[0];
  const std::string output = OutputPathOr(arguments, path);
  if (arguments.Has("--plain") && arguments.Has("--precise"))
    return Failure("'snap' takes --plain or --precise, not both");
  if (arguments.Has("--all") && (arguments.Has("--camera") || arguments.Has("--at")))
    return Failure("'snap --all' re-centres every point and takes no --camera or --at");
  const DotCentring centring =
      arguments.Has("--plain") ? DotCentring::kPlain : DotCentring::kPrecise;

  std::optional<SnapTarget> target;
  if (!arguments.Has("--all")) {
    std::string error;
    target = ParseTarget(arguments, error);
    if (!target) return Failure(error);
  }

  CProjectDoc doc;
  if (const auto openError = OpenProject(doc, path)) return Failure(*openError);
  if (!target) return RecentreAll(doc, centring, path, output);
  return SnapOne(doc, *target, centring, path, output);
}

}  // namespace

Command SnapCommand() {
  CommandSpec spec;
  spec.name = "snap";
  spec.positionals = "P.qvp";
  spec.positionalCount = 1;
  spec.summary =
      "Places a point on the centre of the dark marker under the pixel X,Y of the chosen image, "
      "as a Shift-click does, and prints it, or says that no marker was found there. With --all, "
      "moves every point of both images to the centre of the marker under it instead (points "
      "on no marker, or more than 2 pixels from its centre, stay).";
  spec.options = {
      {"--camera", "", "1|2", "the image to place the point in"},
      {"--at", "", "X,Y", "the pixel under the marker (0-based column and row)"},
      {"--all", "", "", "re-centre every point of the project on its marker"},
      {"--precise", "", "", "centre on the marker's darkness centroid (the default)"},
      {"--plain", "", "", "centre on the circle through the marker's outline pixels only"},
      kOutputProjectOption,
  };
  return {spec, &RunSnap};
}

}  // namespace q3d::cli
