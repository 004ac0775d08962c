// scale: the real distance between two matched points, which puts every export of the
// project in millimetres.
#include <sstream>

#include "cli/commands.h"
#include "cli/project_files.h"
#include "model/metric_scale.h"
#include "project/project_doc.h"
#include "project/real_distance.h"

namespace q3d::cli {
namespace {

std::string Millimetres(double mm) {
  std::ostringstream text;
  text << mm;
  return text.str();
}

CommandResult RunScale(const ParsedArguments& arguments) {
  const std::string& path = arguments.Positionals()[0];
  const std::string output = OutputPathOr(arguments, path);
  CProjectDoc doc;
  if (const auto error = OpenProject(doc, path)) return Failure(*error);
  CommandResult result;
  result.json.Set("command", "scale");
  result.json.Set("output", output);
  if (arguments.Has("--clear")) {
    ClearRealDistance(doc);
    if (const auto error = SaveProjectSafely(doc, output)) return Failure(*error);
    result.text.push_back("Removed the real distance: exports of " + output +
                          " are in the model's own units");
    return result;
  }
  const auto between = arguments.Value("--between");
  const auto mmText = arguments.Value("--mm");
  if (!between || !mmText) return Failure("give --between A,B and --mm DISTANCE, or --clear");
  std::string error;
  const auto pair = ParsePixelPosition("--between", *between, error);
  if (!pair) return Failure(error);
  const auto mm = ParseReal("--mm", *mmText, kSmallestScaleMm, kLargestScaleMm, error);
  if (!mm) return Failure(error);
  if (const Status set = SetRealDistance(doc, pair->x, pair->y, *mm); !set)
    return Failure(path + ": " + set.Reason());
  const double mmPerUnit = *CurrentRealDistance(doc)->mmPerUnit;
  if (const auto saveError = SaveProjectSafely(doc, output)) return Failure(*saveError);
  result.json.Set("millimetres", *mm);
  result.json.Set("mm_per_unit", mmPerUnit);
  result.text.push_back("Matches " + std::to_string(pair->x) + " and " + std::to_string(pair->y) +
                        " are " + Millimetres(*mm) + " mm apart: " + Millimetres(mmPerUnit) +
                        " mm per model unit; exports of " + output + " are in millimetres");
  return result;
}

}  // namespace

Command ScaleCommand() {
  CommandSpec spec;
  spec.name = "scale";
  spec.positionals = "P.qvp";
  spec.positionalCount = 1;
  spec.summary =
      "Sets the real distance between two matched points of a rendered project (for example "
      "62 mm between the pupils); every mesh export is then in millimetres, and info reports "
      "the scale. Matches are numbered from 1 in the project's match order.";
  spec.options = {
      {"--between", "", "A,B", "the two matches"},
      {"--mm", "", "DISTANCE", "their real distance in millimetres"},
      {"--clear", "", "", "remove the real distance"},
      kOutputProjectOption,
  };
  return {spec, &RunScale};
}

}  // namespace q3d::cli
