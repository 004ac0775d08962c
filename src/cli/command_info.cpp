// info: what a project holds and, after a render, its calibration, pose and fit.
#include <sstream>

#include "cli/commands.h"
#include "cli/project_files.h"
#include "cli/project_report.h"
#include "model/metric_scale.h"
#include "project/project_doc.h"

namespace q3d::cli {
namespace {

CommandResult RunInfo(const ParsedArguments& arguments) {
  const std::string& path = arguments.Positionals()[0];
  CProjectDoc doc;
  if (const auto error = OpenProject(doc, path)) return Failure(*error);

  ProjectReport report = ReportProjectContents(doc);
  AppendRenderResults(doc, report);
  CommandResult result;
  result.json.Set("command", "info");
  result.json.Set("project", path);
  result.json.Merge(report.json);
  result.text.push_back("Project " + path);
  result.text.insert(result.text.end(), report.text.begin(), report.text.end());
  const MetricScale& scale = doc.m_model.m_metricScale;
  if (scale.IsSet()) {
    const Result<double> mmPerUnit = MillimetresPerUnit(doc.m_stereoPair, scale);
    result.json.Set("scale_mm", scale.millimetres);
    if (mmPerUnit) result.json.Set("mm_per_unit", *mmPerUnit);
    std::ostringstream line;
    line << "Scale: " << scale.millimetres << " mm between two matches; ";
    if (mmPerUnit)
      line << *mmPerUnit << " mm per model unit (exports in millimetres)";
    else
      line << mmPerUnit.Reason();
    result.text.push_back(line.str());
  }
  return result;
}

}  // namespace

Command InfoCommand() {
  CommandSpec spec;
  spec.name = "info";
  spec.positionals = "P.qvp";
  spec.positionalCount = 1;
  spec.summary =
      "Shows the images, the point and match counts and whether the project is rendered; after a "
      "render also the focal lengths f1 and f2 in pixels, the rotation R and translation t of "
      "camera 2, how firmly the matches fix the focal lengths (their relative standard "
      "deviations) and the median reprojection error in pixels; with a real distance set (scale) "
      "also the millimetres per model unit.";
  return {spec, &RunInfo};
}

}  // namespace q3d::cli
