// scale: the real distance between two matched points, which puts every export of the
// project in millimetres.
#include <iterator>
#include <sstream>

#include "cli/commands.h"
#include "cli/project_files.h"
#include "model/metric_scale.h"
#include "project/project_doc.h"

namespace q3d::cli {
namespace {

// The identifier of the match at a 1-based position in the match list.
int32_t MatchIdAt(const CProjectDoc& doc, int number) {
  auto it = doc.m_stereoPair.m_matches.Matches().begin();
  std::advance(it, number - 1);
  return (*it)->m_id;
}

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
    doc.m_model.m_metricScale = {};
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
  const int count = doc.m_stereoPair.m_matches.Count();
  for (int number : {pair->x, pair->y})
    if (number < 1 || number > count)
      return Failure("--between: match " + std::to_string(number) + " is not in 1.." +
                     std::to_string(count));
  const auto mm = ParseReal("--mm", *mmText, 1e-6, 1e9, error);
  if (!mm) return Failure(error);
  MetricScale& scale = doc.m_model.m_metricScale;
  error = SetMetricScale(doc.m_stereoPair, MatchIdAt(doc, pair->x), MatchIdAt(doc, pair->y), *mm,
                         scale);
  if (!error.empty()) return Failure(path + ": " + error);
  double mmPerUnit = 0;
  MillimetresPerUnit(doc.m_stereoPair, scale, mmPerUnit);
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
