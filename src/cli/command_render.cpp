// render: the Render command on a project, saved over it or to another file.
#include "cli/commands.h"
#include "cli/project_files.h"
#include "cli/project_report.h"
#include "base/error_stack.h"
#include "project/project_doc.h"

namespace q3d::cli {
namespace {

constexpr int kMinimumMatches = 10;

// The message the system has for a focal search that found no calibration.
constexpr const char* kFocalsMessage =
    "Error: Focals estimation. Please, try other positions to take the photographs.";

bool HasCalibration(const CStereoPair& pair) {
  return pair.m_A1.rows() == 3 && pair.m_A1.cols() == 3 && pair.m_A1(0, 0) != 0.0 &&
         pair.m_A2.rows() == 3 && pair.m_A2.cols() == 3 && pair.m_A2(0, 0) != 0.0 &&
         pair.m_Rcam.rows() == 3 && pair.m_t.size() == 3;
}

CommandResult RunRender(const ParsedArguments& arguments) {
  const std::string& path = arguments.Positionals()[0];
  const std::string output = OutputPathOr(arguments, path);
  RenderOptions options;
  options.refine = arguments.Has("--refine");
  if (const auto seedText = arguments.Value("--seed")) {
    std::string error;
    const auto seed = ParseUnsigned("--seed", *seedText, error);
    if (!seed) return Failure(error);
    options.seed = *seed;
  }

  CProjectDoc doc;
  if (const auto error = OpenProject(doc, path)) return Failure(*error);
  if (doc.IsRendered()) {
    if (!arguments.Has("--force"))
      return Failure(path + ": the project is already rendered (use --force to render it again)");
    doc.RemoveRenderData();
  }
  const int matchCount = doc.m_stereoPair.m_matches.Count();
  if (matchCount < kMinimumMatches)
    return Failure(path + ": a render needs at least " + std::to_string(kMinimumMatches) +
                   " matches; the project has " + std::to_string(matchCount));
  if (!doc.ImagesLoaded()) return Failure(path + ": a render needs both images");

  if (const Status rendered = doc.Render(options); !rendered) return Failure(rendered.Reason());
  if (!HasCalibration(doc.m_stereoPair)) return Failure(kFocalsMessage);

  if (const auto error = SaveProjectSafely(doc, output)) return Failure(*error);

  ProjectReport report = ReportProjectContents(doc);
  AppendRenderResults(doc, report);
  CommandResult result;
  result.json.Set("command", "render");
  result.json.Set("output", output);
  if (options.seed) result.json.Set("seed", *options.seed);
  result.json.Set("refine", options.refine);
  result.json.Merge(report.json);
  result.text.push_back("Rendered " + path + " into " + output);
  result.text.insert(result.text.end(), report.text.begin(), report.text.end());
  return result;
}

}  // namespace

Command RenderCommand() {
  CommandSpec spec;
  spec.name = "render";
  spec.positionals = "P.qvp";
  spec.positionalCount = 1;
  spec.summary =
      "Runs the Render command: epipolar geometry, the robust focal-length search, the pose of "
      "camera 2 and the 3D points of all matches (at least 10). The project is saved over "
      "itself (safely, through a temporary file) unless -o names another file.";
  spec.options = {
      kOutputProjectOption,
      {"--seed", "", "N", "seed of the focal search's random samples (repeatable renders)"},
      {"--refine", "", "", "refine the winning trial's motion and focal lengths"},
      {"--force", "", "", "discard an earlier render and render again"},
  };
  return {spec, &RunRender};
}

}  // namespace q3d::cli
