// new: a project from two images and, optionally, matches listed in a CSV file.
#include <cstdio>
#include <string>

#include "base/error_stack.h"
#include "cli/commands.h"
#include "cli/match_csv.h"
#include "cli/project_files.h"
#include "cli/project_report.h"
#include "project/project_doc.h"

namespace q3d::cli {
namespace {

bool Inside(double x, double y, const CCamera& camera) {
  return x < camera.Width() && y < camera.Height();
}

std::string OutsideMessage(const std::string& csvPath, const CsvMatch& match, int image,
                           const CCamera& camera) {
  const double x = image == 1 ? match.x1 : match.x2;
  const double y = image == 1 ? match.y1 : match.y2;
  char point[96];
  std::snprintf(point, sizeof point, "(%g, %g)", x, y);
  return csvPath + ": line " + std::to_string(match.line) + ": point " + point +
         " lies outside image " + std::to_string(image) + " (" + std::to_string(camera.Width()) +
         " x " + std::to_string(camera.Height()) + " pixels)";
}

CommandResult RunNew(const ParsedArguments& arguments) {
  const std::string image1 = *arguments.Value("--image1");
  const std::string image2 = *arguments.Value("--image2");
  const std::string output = *arguments.Value("--output");

  std::vector<NamedInput> inputs = {{"image 1", image1}, {"image 2", image2}};
  if (const auto csv = arguments.Value("--matches")) inputs.push_back({"the match file", *csv});
  if (const auto refused = RefuseOutputOntoInput(output, inputs)) return Failure(*refused);

  // The match file is read first: its mistakes are the cheapest to find.
  std::vector<CsvMatch> matches;
  const auto csvPath = arguments.Value("--matches");
  if (csvPath) {
    std::string error;
    auto read = ReadMatchCsv(*csvPath, error);
    if (!read) return Failure(error);
    matches = std::move(*read);
  }

  CProjectDoc doc;
  if (const Status loaded = doc.SetImages(image1, image2); !loaded) return Failure(loaded.Reason());
  if (!doc.ImagesLoaded()) return Failure("the images could not be loaded");

  for (const CsvMatch& match : matches) {
    if (!Inside(match.x1, match.y1, doc.m_camera1))
      return Failure(OutsideMessage(*csvPath, match, 1, doc.m_camera1));
    if (!Inside(match.x2, match.y2, doc.m_camera2))
      return Failure(OutsideMessage(*csvPath, match, 2, doc.m_camera2));
    if (const Status added = doc.AddMatch(match.x1, match.y1, match.x2, match.y2); !added)
      return Failure("the match of line " + std::to_string(match.line) +
                     " could not be added: " + added.Reason());
  }

  if (const auto error = SaveProjectSafely(doc, output)) return Failure(*error);

  ProjectReport report = ReportProjectContents(doc);
  CommandResult result;
  result.json.Set("command", "new");
  result.json.Set("output", output);
  result.json.Merge(report.json);
  for (const CCamera* camera : {&doc.m_camera1, &doc.m_camera2})
    for (const std::string& note : camera->m_focal.exif_notes) result.warnings.push_back(note);
  result.text.push_back("Created " + output);
  result.text.insert(result.text.end(), report.text.begin(), report.text.end());
  return result;
}

}  // namespace

Command NewCommand() {
  CommandSpec spec;
  spec.name = "new";
  spec.summary =
      "Creates a project from two images. The optional CSV file has the header x1,y1,x2,y2 and "
      "one match per line in 0-based pixel coordinates; its points get the identifiers 0..n-1 "
      "in each image and its matches 0..n-1 in file order.";
  spec.options = {
      {"--image1", "", "A", "image 1 (BMP of 16, 24 or 32 bits per pixel, PNG, JPEG, TIFF)", true},
      {"--image2", "", "B", "image 2", true},
      {"--matches", "", "M.csv", "matches to add, one per line"},
      {"--output", "-o", "P.qvp", "the project file to write", true},
  };
  return {spec, &RunNew};
}

}  // namespace q3d::cli
