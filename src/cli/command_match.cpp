// match: the Automatic Matching command with its eight parameters as options.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "cli/commands.h"
#include "cli/project_files.h"
#include "cli/project_report.h"
#include "matching/auto_match_params.h"
#include "matching/automatic_matching.h"
#include "base/error_stack.h"
#include "project/project_doc.h"

namespace q3d::cli {
namespace {

struct ParameterOption {
  const char* name;
  AutoMatchField field;
  bool integer;
  bool odd;
  const char* help;
};

constexpr ParameterOption kParameterOptions[] = {
    {"--points", AutoMatchField::kPoints, true, false,
     "skin-texture points kept per image (0: dots only)"},
    {"--gauss-size", AutoMatchField::kGaussianSize, true, true, "Gaussian size (odd)"},
    {"--gauss-dev", AutoMatchField::kGaussianDev, false, false, "Gaussian deviation"},
    {"--rel-min", AutoMatchField::kRelativeMinimum, false, false,
     "relative minimum of the corner response"},
    {"--win-width", AutoMatchField::kWindowWidth, true, true, "correlation window width (odd)"},
    {"--win-height", AutoMatchField::kWindowHeight, true, true, "correlation window height (odd)"},
    {"--threshold", AutoMatchField::kThreshold, false, false, "least correlation of a match"},
    {"--width-factor", AutoMatchField::kWidthFactor, true, false,
     "search region in tenths of the image size"},
};

double FieldValue(const AutoMatchParams& params, AutoMatchField field) {
  switch (field) {
    case AutoMatchField::kPoints:
      return params.points;
    case AutoMatchField::kGaussianSize:
      return params.gaussianSize;
    case AutoMatchField::kGaussianDev:
      return params.gaussianDev;
    case AutoMatchField::kRelativeMinimum:
      return params.relativeMinimum;
    case AutoMatchField::kWindowWidth:
      return params.windowWidth;
    case AutoMatchField::kWindowHeight:
      return params.windowHeight;
    case AutoMatchField::kThreshold:
      return params.threshold;
    case AutoMatchField::kWidthFactor:
      return params.widthFactor;
  }
  return 0.0;
}

void SetField(AutoMatchParams& params, AutoMatchField field, double value) {
  const auto whole = static_cast<int32_t>(value);
  switch (field) {
    case AutoMatchField::kPoints:
      params.points = whole;
      break;
    case AutoMatchField::kGaussianSize:
      params.gaussianSize = whole;
      break;
    case AutoMatchField::kGaussianDev:
      params.gaussianDev = value;
      break;
    case AutoMatchField::kRelativeMinimum:
      params.relativeMinimum = value;
      break;
    case AutoMatchField::kWindowWidth:
      params.windowWidth = whole;
      break;
    case AutoMatchField::kWindowHeight:
      params.windowHeight = whole;
      break;
    case AutoMatchField::kThreshold:
      params.threshold = value;
      break;
    case AutoMatchField::kWidthFactor:
      params.widthFactor = whole;
      break;
  }
}

// The values the dialog's slider can give, from one end of the slider to the other.
void ValueRange(AutoMatchField field, double& low, double& high) {
  const SliderRange range = AutoMatchSliderRange(field);
  AutoMatchParams atMin, atMax;
  SetFromSlider(atMin, field, range.min);
  SetFromSlider(atMax, field, range.max);
  low = std::min(FieldValue(atMin, field), FieldValue(atMax, field));
  high = std::max(FieldValue(atMin, field), FieldValue(atMax, field));
}

// Reads every parameter option given; the others keep the dialog's defaults.
std::optional<AutoMatchParams> ReadParameters(const ParsedArguments& arguments,
                                              std::string& error) {
  AutoMatchParams params;
  for (const ParameterOption& option : kParameterOptions) {
    const auto text = arguments.Value(option.name);
    if (!text) continue;
    double low = 0.0, high = 0.0;
    ValueRange(option.field, low, high);
    if (option.integer) {
      const auto value = ParseInteger(option.name, *text, static_cast<int64_t>(low),
                                      static_cast<int64_t>(high), error);
      if (!value) return std::nullopt;
      if (option.odd && *value % 2 == 0) {
        error = std::string(option.name) + ": " + *text + " is not odd";
        return std::nullopt;
      }
      SetField(params, option.field, static_cast<double>(*value));
    } else {
      const auto value = ParseReal(option.name, *text, low, high, error);
      if (!value) return std::nullopt;
      SetField(params, option.field, *value);
    }
  }
  return params;
}

JsonValue ParametersJson(const AutoMatchParams& params) {
  JsonValue json = JsonValue::Object{};
  for (const ParameterOption& option : kParameterOptions) {
    const double value = FieldValue(params, option.field);
    json.Set(option.name + 2,
             option.integer ? JsonValue(static_cast<int64_t>(value)) : JsonValue(value));
  }
  return json;
}

CommandResult RunMatch(const ParsedArguments& arguments) {
  const std::string& path = arguments.Positionals()[0];
  const std::string output = OutputPathOr(arguments, path);
  std::string error;
  const auto params = ReadParameters(arguments, error);
  if (!params) return Failure(error);

  CProjectDoc doc;
  if (const auto openError = OpenProject(doc, path)) return Failure(*openError);
  if (!doc.ImagesLoaded()) return Failure(path + ": automatic matching needs both images");
  const bool hasWork = doc.m_camera1.m_points.Count() > 0 || doc.m_camera2.m_points.Count() > 0 ||
                       doc.m_stereoPair.m_matches.Count() > 0 || doc.IsRendered();
  if (hasWork && !arguments.Has("--replace"))
    return Failure(path +
                   ": the project already has points or matches; automatic matching replaces "
                   "them (use --replace)");
  if (doc.IsRendered()) doc.RemoveRenderData();

  AutoMatchReport matchReport;
  if (const Status matched = AutomaticMatching(doc.m_stereoPair, *params, nullptr, &matchReport);
      !matched)
    return Failure(matched.Reason());
  doc.SetModifiedFlag();
  if (const auto saveError = SaveProjectSafely(doc, output)) return Failure(*saveError);

  ProjectReport report = ReportProjectContents(doc);
  CommandResult result;
  result.json.Set("command", "match");
  result.json.Set("output", output);
  result.json.Set("parameters", ParametersJson(*params));
  result.json.Merge(report.json);
  JsonValue features = JsonValue::Object{};
  features.Set("dots", JsonValue::Array{matchReport.dots1, matchReport.dots2});
  features.Set("corners", JsonValue::Array{matchReport.corners1, matchReport.corners2});
  features.Set("candidates", matchReport.candidates);
  features.Set("dot_matches", matchReport.dotMatches);
  result.json.Set("features", std::move(features));
  result.text.push_back("Matched " + path + " into " + output + ": " +
                        std::to_string(doc.m_stereoPair.m_matches.Count()) + " matches (" +
                        std::to_string(matchReport.dotMatches) + " of marker dots)");
  result.text.insert(result.text.end(), report.text.begin(), report.text.end());
  return result;
}

}  // namespace

Command MatchCommand() {
  CommandSpec spec;
  spec.name = "match";
  spec.positionals = "P.qvp";
  spec.positionalCount = 1;
  spec.summary =
      "Runs Automatic Matching: finds every make-up dot and skin-texture points in both "
      "images and pairs them into matches (texture matches only where fewer than 30 dots "
      "pair up). Parameters not given keep the defaults of the Automatic Matching dialog "
      "(100, 3, 0.7, 0.0001, 7, 7, 0.4, 4).";
  spec.options.push_back(kOutputProjectOption);
  for (const ParameterOption& option : kParameterOptions) {
    double low = 0.0, high = 0.0;
    ValueRange(option.field, low, high);
    char range[64];
    std::snprintf(range, sizeof range, option.integer ? " [%.0f..%.0f]" : " [%g..%g]", low, high);
    spec.options.push_back(
        {option.name, "", option.integer ? "N" : "X", option.help + std::string(range)});
  }
  spec.options.push_back(
      {"--replace", "", "", "allow replacing the points and matches the project already has"});
  return {spec, &RunMatch};
}

}  // namespace q3d::cli
