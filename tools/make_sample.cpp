// Renders the synthetic face pair, matches it automatically and writes the bundled sample:
// the two images, the ground truth (with camera 1's true depth map as a 32-bit float TIFF,
// 0 where no surface is seen) and a project file holding the matches.
//   make_sample [output directory] [width height] [--aimed]
// --aimed points both cameras at one point of the face, as people take photographs.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <string>

#include "base/error_stack.h"
#include "matching/automatic_matching.h"
#include "project/project_doc.h"
#include "support/synthetic_face.h"

namespace {

int Fail(const std::string& what) {
  std::fprintf(stderr, "make_sample: %s\n", what.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  const bool aimed = argc > 1 && std::string(argv[argc - 1]) == "--aimed";
  if (aimed) --argc;
  const fs::path directory = argc > 1 ? argv[1] : "samples/face";
  q3d::test::FaceSceneOptions options;
  options.width = argc > 3 ? std::atoi(argv[2]) : 640;
  options.height = argc > 3 ? std::atoi(argv[3]) : 480;
  options.noiseSigma = 1.5;
  options.brightness2 = 0.95;
  options.aimAtOnePoint = aimed;
  // A face a newcomer recognises in 3D: its relief, and dots close enough to show it.
  options.sculpted = true;
  options.dots = 240;
  options.dotSpacing = 0.0065;
  if (options.width < 64 || options.height < 48) return Fail("the image size is too small");

  const q3d::test::FaceStereoPair pair = q3d::test::RenderFaceStereoPair(options);
  std::error_code error;
  fs::create_directories(directory, error);
  const fs::path image1 = directory / "face1.png";
  const fs::path image2 = directory / "face2.png";
  if (!cv::imwrite(image1.string(), pair.image1) || !cv::imwrite(image2.string(), pair.image2))
    return Fail("cannot write the images into " + directory.string());
  std::ofstream(directory / "truth.json") << q3d::test::FaceTruthJson(pair, "face");
  if (!cv::imwrite((directory / "depth1.tiff").string(), pair.Depth1()))
    return Fail("cannot write the depth map into " + directory.string());

  q3d::CProjectDoc doc;
  if (const q3d::Status loaded = doc.SetImages(image1.string(), image2.string()); !loaded)
    return Fail(loaded.Reason());
  q3d::AutoMatchReport report;
  q3d::AutoMatchParams params;
  params.points = 400;
  if (const q3d::Status matched = q3d::AutomaticMatching(doc.m_stereoPair, params, nullptr, &report); !matched)
    return Fail(matched.Reason());

  int within = 0;
  for (const auto& match : doc.m_stereoPair.m_matches.Matches()) {
    const auto truth = pair.TrueCorrespondence(match->m_point1->m_x, match->m_point1->m_y);
    if (truth &&
        std::hypot(truth->x() - match->m_point2->m_x, truth->y() - match->m_point2->m_y) <= 1.5)
      ++within;
  }
  if (const q3d::Status saved = doc.SaveProject((directory / "sample.qvp").string()); !saved)
    return Fail(saved.Reason());
  std::printf("%d dots and %d corners in image 1, %d dots and %d corners in image 2\n",
              report.dots1, report.corners1, report.dots2, report.corners2);
  std::printf("%d candidates, %d matches (%d on dots), %d within 1.5 px of the truth\n",
              report.candidates, report.matches, report.dotMatches, within);
  return 0;
}
