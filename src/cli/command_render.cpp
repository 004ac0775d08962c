// render: the Render command on a project, saved over it or to another file.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <utility>

#include "base/error_stack.h"
#include "cli/commands.h"
#include "cli/project_files.h"
#include "cli/project_report.h"
#include "project/calibration_quality.h"
#include "project/project_doc.h"

namespace q3d::cli {
namespace {

constexpr int kMinimumMatches = 10;

// The message the system has for a focal search that found no calibration.
constexpr const char* kFocalsMessage =
    "Error: Focals estimation. Please, try other positions to take the photographs.";

std::string AssumedFocalWarning(const CProjectDoc& doc, int c) {
  const std::optional<CalibrationQuality> quality = AssessCalibration(doc.m_stereoPair);
  const double deviation = quality ? (c == 0 ? quality->f1_deviation : quality->f2_deviation) : 0;
  char reason[96] = "the matches leave it open";
  if (std::isfinite(deviation) && deviation > 0)
    std::snprintf(reason, sizeof reason, "the matches alone fix it only to +-%.0f %%",
                  100 * deviation);
  char text[400];
  std::snprintf(text, sizeof text,
                "the focal length of camera %d is assumed, not measured (%s): the render leans "
                "on a 26 mm-equivalent phone lens and gives %.0f px. Give the real one with "
                "--focal%d (the photograph's properties or the camera's data sheet give it).",
                c + 1, reason, doc.RenderedFocal(c), c + 1);
  return text;
}

bool HasCalibration(const CStereoPair& pair) {
  return pair.m_A1.rows() == 3 && pair.m_A1.cols() == 3 && pair.m_A1(0, 0) != 0.0 &&
         pair.m_A2.rows() == 3 && pair.m_A2.cols() == 3 && pair.m_A2(0, 0) != 0.0 &&
         pair.m_Rcam.rows() == 3 && pair.m_t.size() == 3;
}

CommandResult RunRender(const ParsedArguments& arguments) {
  const std::string& path = arguments.Positionals()[0];
  const std::string output = OutputPathOr(arguments, path);
  RenderOptions options;
  if (arguments.Has("--refine") && arguments.Has("--no-refine"))
    return Failure("--refine and --no-refine exclude each other");
  options.refine = !arguments.Has("--no-refine");
  if (arguments.Has("--same-camera") && arguments.Has("--separate-cameras"))
    return Failure("--same-camera and --separate-cameras exclude each other");
  std::optional<double> entered[2];
  for (const auto& [option, cameras] :
       {std::pair{"--focal", 3}, std::pair{"--focal1", 1}, std::pair{"--focal2", 2}}) {
    const auto text = arguments.Value(option);
    if (!text) continue;
    std::string error;
    const auto focal = ParseReal(option, *text, kSmallestFocalPx, kLargestFocalPx, error);
    if (!focal) return Failure(error);
    for (int c = 0; c < 2; ++c)
      if (cameras & (1 << c)) entered[c] = *focal;
  }
  double precision = 0;
  if (const auto text = arguments.Value("--focal-precision")) {
    if (!entered[0] && !entered[1])
      return Failure(
          "--focal-precision needs an entered focal length (--focal, --focal1 or --focal2)");
    std::string error;
    const auto percent = ParseReal("--focal-precision", *text, 100 * kSmallestFocalPrecision,
                                   100 * kLargestFocalPrecision, error);
    if (!percent) return Failure(error);
    precision = *percent / 100;
  }
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
  for (int c = 0; c < 2; ++c)
    if (entered[c])
      if (const Status set = doc.SetEnteredFocal(c, *entered[c], precision); !set)
        return Failure(set.Reason());

  if (arguments.Has("--same-camera")) doc.SetCameraSharing(CameraSharing::kSame);
  if (arguments.Has("--separate-cameras")) doc.SetCameraSharing(CameraSharing::kSeparate);

  // The reconstruction's own time: search and fit, no file input or output.
  const auto start = std::chrono::steady_clock::now();
  const Status rendered = doc.Render(options);
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  if (!rendered) return Failure(rendered.Reason());
  if (!HasCalibration(doc.m_stereoPair)) return Failure(kFocalsMessage);

  if (const auto error = SaveProjectSafely(doc, output)) return Failure(*error);

  ProjectReport report = ReportProjectContents(doc);
  AppendRenderResults(doc, report);
  CommandResult result;
  result.json.Set("command", "render");
  result.json.Set("output", output);
  if (options.seed) result.json.Set("seed", *options.seed);
  result.json.Set("refine", options.refine);
  result.json.Set("render_seconds", seconds.count());
  result.json.Merge(report.json);
  for (int c = 0; c < 2; ++c)
    if (doc.m_stereoPair.m_focalSource[c] == FocalSource::kAssumed)
      result.warnings.push_back(AssumedFocalWarning(doc, c));
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
      "Runs the Render command: epipolar geometry, the robust focal-length search, the "
      "maximum-likelihood fit of the pose of camera 2, the focal lengths and the 3D points of "
      "all matches (at least 10). Known focal lengths (entered, or from the photographs) are "
      "used with their precision; photographs of one camera share one focal length; one the "
      "matches leave undetermined leans on a phone lens and is said to be assumed, with a "
      "warning. The project is saved over itself (safely, through a temporary file) unless -o "
      "names another file.";
  spec.options = {
      kOutputProjectOption,
      {"--seed", "", "N", "seed of the focal search's random samples (repeatable renders)"},
      {"--refine", "", "", "end with the maximum-likelihood fit (the default)"},
      {"--no-refine", "", "", "the robust search alone, without the fit"},
      {"--focal", "", "PX", "focal length of both photographs in pixels (kept in the project)"},
      {"--focal1", "", "PX", "focal length of photograph 1 in pixels"},
      {"--focal2", "", "PX", "focal length of photograph 2 in pixels"},
      {"--focal-precision", "", "PCT",
       "how precisely the entered focal lengths are known, in percent (default 2)"},
      {"--same-camera", "", "",
       "fit one focal length for both photographs (one camera, one zoom; kept in the project)"},
      {"--separate-cameras", "", "",
       "fit a focal length for each photograph (kept in the project; by default the "
       "photographs' metadata decides)"},
      {"--force", "", "", "discard an earlier render and render again"},
  };
  return {spec, &RunRender};
}

}  // namespace q3d::cli
