#pragma once
// A small synthetic stereo pair for the tool's end-to-end tests: marker dots on a
// sphere cap seen by two cameras of known focal length, written as two bitmaps and a
// match file holding the exact projections.
#include <filesystem>
#include <string>
#include <vector>

namespace q3d::test {

struct ScenePoint {
  double x1 = 0, y1 = 0;  // 0-based pixel position in image 1
  double x2 = 0, y2 = 0;  // in image 2
};

struct StereoScene {
  int width = 640;
  int height = 480;
  double focal_px = 800.0;
  std::vector<ScenePoint> points;
};

// The scene with count points (at most 49), placed with a seeded jitter. Aimed, camera 2
// looks at the point camera 1 looks at, as people take photographs of a face.
StereoScene MakeStereoScene(int count, unsigned seed, bool aimed = false);

struct SceneFiles {
  std::filesystem::path image1;
  std::filesystem::path image2;
  std::filesystem::path matches;
};

// Writes image1.bmp and image2.bmp (24 bits per pixel, a dot of radius 4 pixels at each
// point) and matches.csv with the first matchCount points into the directory.
SceneFiles WriteSceneFiles(const StereoScene& scene, int matchCount,
                           const std::filesystem::path& directory);

// The CSV text of the first count points.
std::string MatchCsvText(const StereoScene& scene, int count);

}  // namespace q3d::test
