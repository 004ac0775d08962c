#include "stereo_scene.h"

#include <Eigen/Dense>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>

#include "support/synthetic_images.h"

namespace q3d::test {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Camera with rotation R (camera directions to world) and centre C; it looks along +z
// and its image axes point opposite to its x and y axes (calibration [-f, 0, 0; 0, -f, 0;
// 0, 0, 1] on coordinates centred at (floor(W/2), floor(H/2))).
struct Camera {
  Eigen::Matrix3d R = Eigen::Matrix3d::Identity();
  Eigen::Vector3d C = Eigen::Vector3d::Zero();

  Eigen::Vector2d Project(const Eigen::Vector3d& X, double f, int width, int height) const {
    const Eigen::Vector3d xc = R.transpose() * (X - C);
    return {-f * xc.x() / xc.z() + width / 2, -f * xc.y() / xc.z() + height / 2};
  }
};

Camera LookingAt(const Eigen::Vector3d& centre, const Eigen::Vector3d& target) {
  const Eigen::Vector3d z = (target - centre).normalized();
  const Eigen::Vector3d x = Eigen::Vector3d::UnitY().cross(z).normalized();
  const Eigen::Vector3d y = z.cross(x);
  Camera camera;
  camera.R.col(0) = x;
  camera.R.col(1) = y;
  camera.R.col(2) = z;
  camera.C = centre;
  return camera;
}

}  // namespace

StereoScene MakeStereoScene(int count, unsigned seed, bool aimed) {
  StereoScene scene;
  const Eigen::Vector3d sphereCentre(0.0, 0.0, 10.0);
  const double radius = 3.0;
  const Camera camera1;
  // Camera 2 looks past the sphere's centre: with both optical axes meeting in one point
  // the focal lengths could not be told from the epipolar geometry.
  const Camera camera2 =
      LookingAt({2.0, 0.5, 0.5}, aimed ? sphereCentre : Eigen::Vector3d(0.0, -0.5, 10.0));
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> jitter(-0.06, 0.06);
  for (int k = 0; k < count && k < 49; ++k) {
    // A 7 x 7 grid of directions over the cap facing the cameras.
    const double a = (-45.0 + 15.0 * (k % 7)) * kPi / 180.0 + jitter(random);
    const double b = (-36.0 + 12.0 * (k / 7)) * kPi / 180.0 + jitter(random);
    const Eigen::Vector3d X =
        sphereCentre + radius * Eigen::Vector3d(std::sin(a) * std::cos(b), std::sin(b),
                                                -std::cos(a) * std::cos(b));
    const Eigen::Vector2d p1 = camera1.Project(X, scene.focal_px, scene.width, scene.height);
    const Eigen::Vector2d p2 = camera2.Project(X, scene.focal_px, scene.width, scene.height);
    scene.points.push_back({p1.x(), p1.y(), p2.x(), p2.y()});
  }
  return scene;
}

std::string MatchCsvText(const StereoScene& scene, int count) {
  std::string text = "x1,y1,x2,y2\n";
  for (int k = 0; k < count && k < static_cast<int>(scene.points.size()); ++k) {
    const ScenePoint& p = scene.points[static_cast<size_t>(k)];
    char line[160];
    std::snprintf(line, sizeof line, "%.9g,%.9g,%.9g,%.9g\n", p.x1, p.y1, p.x2, p.y2);
    text += line;
  }
  return text;
}

SceneFiles WriteSceneFiles(const StereoScene& scene, int matchCount,
                           const std::filesystem::path& directory) {
  std::vector<Disc> discs1, discs2;
  for (const ScenePoint& p : scene.points) {
    discs1.push_back({p.x1, p.y1, 4.0});
    discs2.push_back({p.x2, p.y2, 4.0});
  }
  SceneFiles files{directory / "image1.bmp", directory / "image2.bmp", directory / "matches.csv"};
  WriteBytes(files.image1, EncodeBmp(DrawDiscs(scene.width, scene.height, discs1, 0.7), {}));
  WriteBytes(files.image2, EncodeBmp(DrawDiscs(scene.width, scene.height, discs2, 0.7), {}));
  std::ofstream(files.matches, std::ios::binary) << MatchCsvText(scene, matchCount);
  return files;
}

}  // namespace q3d::test
