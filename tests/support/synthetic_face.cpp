#include "synthetic_face.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <sstream>

#include "synthetic_images.h"

namespace q3d::test {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// ---- The face relief, in metres: u to the right, v up, w towards the cameras. ----

double Bump(double u, double v, double cu, double cv, double su, double sv) {
  const double a = (u - cu) / su;
  const double b = (v - cv) / sv;
  return std::exp(-0.5 * (a * a + b * b));
}

constexpr double kFaceHalfWidth = 0.075;
constexpr double kFaceHalfHeight = 0.10;

double FaceRadius(double u, double v) {
  return std::hypot(u / kFaceHalfWidth, v / kFaceHalfHeight);
}

// A face as deep as a real one, in metres.
double SculptedHeight(double u, double v) {
  const double r = FaceRadius(u, v);
  double h = r < 1.0 ? 0.065 * std::pow(1.0 - r * r, 1.5) : 0.0;
  h += 0.030 * Bump(u, v, 0.0, -0.014, 0.008, 0.024);   // nose ridge, rising downwards
  h += 0.014 * Bump(u, v, 0.0, -0.037, 0.011, 0.009);   // nose tip
  h += 0.010 * Bump(u, v, 0.0, 0.044, 0.050, 0.008);    // brow ridge
  for (const double side : {-1.0, 1.0}) {
    h += 0.006 * Bump(u, v, side * 0.013, -0.040, 0.007, 0.006);  // nostril wing
    h -= 0.022 * Bump(u, v, side * 0.032, 0.022, 0.016, 0.012);   // eye socket
    h += 0.010 * Bump(u, v, side * 0.032, 0.022, 0.009, 0.006);   // eyeball
    h += 0.010 * Bump(u, v, side * 0.045, -0.020, 0.018, 0.018);  // cheek
  }
  h += 0.010 * Bump(u, v, 0.0, -0.056, 0.020, 0.006);   // upper lip
  h += 0.009 * Bump(u, v, 0.0, -0.070, 0.018, 0.006);   // lower lip
  h -= 0.008 * Bump(u, v, 0.0, -0.063, 0.022, 0.0025);  // mouth
  h += 0.014 * Bump(u, v, 0.0, -0.092, 0.018, 0.012);   // chin
  return h * std::clamp((1.15 - r) / 0.15, 0.0, 1.0);
}

double Height(double u, double v, bool sculpted) {
  if (sculpted) return SculptedHeight(u, v);
  const double r = FaceRadius(u, v);
  const double dome = r < 1.0 ? 0.06 * std::pow(1.0 - r * r, 1.5) : 0.0;
  double h = dome;
  h += 0.020 * Bump(u, v, 0.0, -0.012, 0.010, 0.026);   // nose ridge
  h += 0.010 * Bump(u, v, 0.0, -0.034, 0.009, 0.008);   // nose tip
  for (const double side : {-1.0, 1.0}) {
    h -= 0.013 * Bump(u, v, side * 0.032, 0.025, 0.014, 0.011);  // eye socket
    h += 0.006 * Bump(u, v, side * 0.032, 0.024, 0.008, 0.006);  // eyeball
    h += 0.008 * Bump(u, v, side * 0.042, -0.022, 0.018, 0.016);  // cheek
  }
  h += 0.006 * Bump(u, v, 0.0, 0.046, 0.045, 0.008);    // brow ridge
  h += 0.006 * Bump(u, v, 0.0, -0.060, 0.022, 0.007);   // lips
  h += 0.008 * Bump(u, v, 0.0, -0.088, 0.016, 0.012);   // chin
  return h * std::clamp((1.15 - r) / 0.15, 0.0, 1.0);  // features end inside the face
}

// ---- Texture ----

double LatticeValue(int64_t i, int64_t j, uint64_t seed) {
  uint64_t h = seed * 0x9E3779B97F4A7C15ull ^ static_cast<uint64_t>(i) * 0xBF58476D1CE4E5B9ull ^
               static_cast<uint64_t>(j) * 0x94D049BB133111EBull;
  h ^= h >> 31;
  h *= 0xD6E8FEB86659FD93ull;
  h ^= h >> 32;
  return static_cast<double>(h & 0xFFFFFF) / static_cast<double>(0xFFFFFF) * 2.0 - 1.0;
}

// Smooth value noise in [-1, 1] with features of about one lattice cell.
double ValueNoise(double x, double y, uint64_t seed) {
  const double fx = std::floor(x), fy = std::floor(y);
  const auto i = static_cast<int64_t>(fx);
  const auto j = static_cast<int64_t>(fy);
  const double sx = x - fx, sy = y - fy;
  const double wx = sx * sx * (3 - 2 * sx), wy = sy * sy * (3 - 2 * sy);
  const double a = LatticeValue(i, j, seed), b = LatticeValue(i + 1, j, seed);
  const double c = LatticeValue(i, j + 1, seed), d = LatticeValue(i + 1, j + 1, seed);
  return (a + wx * (b - a)) + wy * ((c + wx * (d - c)) - (a + wx * (b - a)));
}

struct Dot {
  double u = 0, v = 0, radius = 0;
};

class DotField {
 public:
  explicit DotField(const std::vector<Dot>& dots) : dots_(dots) {}

  // Share of the pixel covered by a dot (a soft edge of edge metres stands in for the
  // pixel's footprint).
  double Coverage(double u, double v, double edge) const {
    double coverage = 0.0;
    for (const Dot& d : dots_) {
      if (std::abs(u - d.u) > d.radius + edge || std::abs(v - d.v) > d.radius + edge) continue;
      const double s = (d.radius + edge - std::hypot(u - d.u, v - d.v)) / (2 * edge);
      const double c = std::clamp(s, 0.0, 1.0);
      coverage = std::max(coverage, c * c * (3 - 2 * c));
    }
    return coverage;
  }

 private:
  const std::vector<Dot>& dots_;
};

struct Bgr3 {
  double b = 0, g = 0, r = 0;
};

// Lips and eyes in colour, for the sculpted face.
void PaintFeatures(double u, double v, Bgr3& a) {
  const double lips = std::max(Bump(u, v, 0.0, -0.057, 0.018, 0.005), Bump(u, v, 0.0, -0.069, 0.016, 0.005));
  a.b *= 1.0 - 0.35 * lips;
  a.g *= 1.0 - 0.45 * lips;
  a.r *= 1.0 - 0.05 * lips;
  for (const double side : {-1.0, 1.0}) {
    const double white = std::clamp(2.0 * Bump(u, v, side * 0.032, 0.022, 0.010, 0.0045) - 0.6, 0.0, 1.0);
    const double iris = std::clamp(3.0 * Bump(u, v, side * 0.032, 0.022, 0.0035, 0.0035) - 1.2, 0.0, 1.0);
    for (double* c : {&a.b, &a.g, &a.r}) *c = *c * (1 - white) + 0.92 * white;
    a.b = a.b * (1 - iris) + 0.25 * iris;
    a.g = a.g * (1 - iris) + 0.18 * iris;
    a.r = a.r * (1 - iris) + 0.10 * iris;
  }
}

Bgr3 Albedo(double u, double v, const DotField& dots, double edge, uint64_t seed, bool sculpted) {
  const double r = FaceRadius(u, v);
  const double skinShare = std::clamp((1.05 - r) / 0.1, 0.0, 1.0);
  const double skinTexture = 1.0 + 0.10 * ValueNoise(u * 150, v * 150, seed) +
                             0.08 * ValueNoise(u * 420, v * 420, seed + 1) +
                             0.06 * ValueNoise(u * 900, v * 900, seed + 2);
  const double wallTexture = 1.0 + 0.05 * ValueNoise(u * 60, v * 60, seed + 3);
  Bgr3 a;
  a.b = skinShare * 0.60 * skinTexture + (1 - skinShare) * 0.82 * wallTexture;
  a.g = skinShare * 0.70 * skinTexture + (1 - skinShare) * 0.80 * wallTexture;
  a.r = skinShare * 0.88 * skinTexture + (1 - skinShare) * 0.78 * wallTexture;
  double brows = 1.0;
  for (const double side : {-1.0, 1.0})
    brows -= 0.25 * Bump(u, v, side * 0.032, 0.046, 0.014, 0.004);
  if (sculpted) PaintFeatures(u, v, a);
  const double dot = dots.Coverage(u, v, edge);
  a.b = a.b * brows * (1 - dot) + 0.10 * dot;
  a.g = a.g * brows * (1 - dot) + 0.11 * dot;
  a.r = a.r * brows * (1 - dot) + 0.16 * dot;
  return a;
}

std::vector<Dot> PlaceDots(int count, double spacing, std::mt19937_64& random) {
  std::vector<Dot> dots;
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::uniform_real_distribution<double> size(0.0018, 0.0022);
  for (int attempt = 0; attempt < 20000 && static_cast<int>(dots.size()) < count; ++attempt) {
    const double u = unit(random) * kFaceHalfWidth, v = unit(random) * kFaceHalfHeight;
    if (FaceRadius(u, v) > 0.88) continue;
    bool free = true;
    for (const double side : {-1.0, 1.0})  // not on the eyes
      free = free && std::hypot(u - side * 0.032, v - 0.025) > 0.013;
    for (const Dot& d : dots) free = free && std::hypot(u - d.u, v - d.v) > spacing;
    if (free) dots.push_back({u, v, size(random)});
  }
  return dots;
}

// ---- Cameras and rasterisation ----

struct RigCamera {
  Matrix3 axes;    // columns: camera x (image left), y (image up), z (viewing) in the rig
  Vector3 centre;  // rig metres
  double f = 0, cx = 0, cy = 0;
  int width = 0, height = 0;
};

RigCamera LookAt(const Vector3& centre, const Vector3& target, double rollRad, double f,
                 int width, int height) {
  const Vector3 z = (target - centre).normalized();
  const Vector3 up = Eigen::AngleAxisd(rollRad, z) * Vector3(0, 1, 0);
  const Vector3 x = up.cross(z).normalized();
  const Vector3 y = z.cross(x);
  RigCamera camera;
  camera.axes.col(0) = x;
  camera.axes.col(1) = y;
  camera.axes.col(2) = z;
  camera.centre = centre;
  camera.f = f;
  camera.cx = width / 2;
  camera.cy = height / 2;
  camera.width = width;
  camera.height = height;
  return camera;
}

struct Mesh {
  int nu = 0, nv = 0;
  std::vector<Vector3> rig;  // u, v, w
  std::vector<double> shade;
};

Mesh BuildMesh(bool sculpted) {
  constexpr double kStep = 0.00125, kHalfU = 0.36, kHalfV = 0.30;
  Mesh mesh;
  mesh.nu = static_cast<int>(2 * kHalfU / kStep) + 1;
  mesh.nv = static_cast<int>(2 * kHalfV / kStep) + 1;
  const Vector3 light = Vector3(0.35, 0.45, 1.0).normalized();
  for (int j = 0; j < mesh.nv; ++j)
    for (int i = 0; i < mesh.nu; ++i) {
      const double u = -kHalfU + i * kStep, v = -kHalfV + j * kStep;
      const double e = 1e-4;
      const double hu = (Height(u + e, v, sculpted) - Height(u - e, v, sculpted)) / (2 * e);
      const double hv = (Height(u, v + e, sculpted) - Height(u, v - e, sculpted)) / (2 * e);
      const Vector3 normal = Vector3(-hu, -hv, 1.0).normalized();
      mesh.rig.emplace_back(u, v, Height(u, v, sculpted));
      mesh.shade.push_back(0.30 + 0.70 * std::max(0.0, normal.dot(light)));
    }
  return mesh;
}

struct Raster {
  cv::Mat u, v, shade, depth;  // CV_64F; depth is +inf where nothing was drawn
};

Raster Rasterise(const Mesh& mesh, const RigCamera& camera) {
  Raster out;
  out.u = cv::Mat::zeros(camera.height, camera.width, CV_64F);
  out.v = out.u.clone();
  out.shade = out.u.clone();
  out.depth = cv::Mat(camera.height, camera.width, CV_64F, cv::Scalar(kInf));
  const size_t n = mesh.rig.size();
  std::vector<double> sx(n), sy(n), invZ(n);
  for (size_t k = 0; k < n; ++k) {
    const Vector3 p = camera.axes.transpose() * (mesh.rig[k] - camera.centre);
    invZ[k] = p.z() > 0 ? 1.0 / p.z() : 0.0;
    sx[k] = -camera.f * p.x() * invZ[k] + camera.cx;
    sy[k] = -camera.f * p.y() * invZ[k] + camera.cy;
  }
  const auto triangle = [&](size_t a, size_t b, size_t c) {
    if (invZ[a] <= 0 || invZ[b] <= 0 || invZ[c] <= 0) return;
    const double area = (sx[b] - sx[a]) * (sy[c] - sy[a]) - (sy[b] - sy[a]) * (sx[c] - sx[a]);
    if (std::abs(area) < 1e-12) return;
    const int x0 = std::max(0, static_cast<int>(std::ceil(std::min({sx[a], sx[b], sx[c]}))));
    const int x1 = std::min(camera.width - 1, static_cast<int>(std::floor(std::max({sx[a], sx[b], sx[c]}))));
    const int y0 = std::max(0, static_cast<int>(std::ceil(std::min({sy[a], sy[b], sy[c]}))));
    const int y1 = std::min(camera.height - 1, static_cast<int>(std::floor(std::max({sy[a], sy[b], sy[c]}))));
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) {
        const double la = ((sx[c] - sx[b]) * (y - sy[b]) - (sy[c] - sy[b]) * (x - sx[b])) / area;
        const double lb = ((sx[a] - sx[c]) * (y - sy[c]) - (sy[a] - sy[c]) * (x - sx[c])) / area;
        const double lc = 1.0 - la - lb;
        if (la < -1e-9 || lb < -1e-9 || lc < -1e-9) continue;
        const double iz = la * invZ[a] + lb * invZ[b] + lc * invZ[c];
        const double z = 1.0 / iz;
        double& depth = out.depth.at<double>(y, x);
        if (z >= depth) continue;
        depth = z;
        const double wa = la * invZ[a] * z, wb = lb * invZ[b] * z, wc = lc * invZ[c] * z;
        out.u.at<double>(y, x) = wa * mesh.rig[a].x() + wb * mesh.rig[b].x() + wc * mesh.rig[c].x();
        out.v.at<double>(y, x) = wa * mesh.rig[a].y() + wb * mesh.rig[b].y() + wc * mesh.rig[c].y();
        out.shade.at<double>(y, x) = wa * mesh.shade[a] + wb * mesh.shade[b] + wc * mesh.shade[c];
      }
  };
  for (int j = 0; j + 1 < mesh.nv; ++j)
    for (int i = 0; i + 1 < mesh.nu; ++i) {
      const size_t k00 = static_cast<size_t>(j) * mesh.nu + i, k10 = k00 + 1;
      const size_t k01 = k00 + mesh.nu, k11 = k01 + 1;
      triangle(k00, k10, k11);
      triangle(k00, k11, k01);
    }
  return out;
}

cv::Mat Shade(const Raster& raster, const DotField& dots, double edge, bool sculpted, double brightness,
              double noiseSigma, uint64_t seed, std::mt19937_64& random) {
  cv::Mat image(raster.u.rows, raster.u.cols, CV_8UC3, cv::Scalar(0, 0, 0));
  std::normal_distribution<double> noise(0.0, noiseSigma > 0 ? noiseSigma : 1.0);
  for (int y = 0; y < image.rows; ++y)
    for (int x = 0; x < image.cols; ++x) {
      const double n = noiseSigma > 0 ? noise(random) : 0.0;
      if (!std::isfinite(raster.depth.at<double>(y, x))) continue;
      const Bgr3 a = Albedo(raster.u.at<double>(y, x), raster.v.at<double>(y, x), dots, edge, seed, sculpted);
      const double s = 255.0 * raster.shade.at<double>(y, x) * brightness;
      const auto channel = [&](double albedo) {
        return cv::saturate_cast<uint8_t>(albedo * s + n);
      };
      image.at<cv::Vec3b>(y, x) = cv::Vec3b(channel(a.b), channel(a.g), channel(a.r));
    }
  return image;
}

void AppendJson(std::ostringstream& out, const Matrix3& m) {
  out << "[";
  for (int r = 0; r < 3; ++r)
    out << (r ? ", " : "") << "[" << m(r, 0) << ", " << m(r, 1) << ", " << m(r, 2) << "]";
  out << "]";
}

}  // namespace

FaceStereoPair RenderFaceStereoPair(const FaceSceneOptions& options) {
  FaceStereoPair pair;
  pair.options = options;
  std::mt19937_64 random(options.seed);
  const std::vector<Dot> dots = PlaceDots(options.dots, options.dotSpacing, random);
  const DotField grid(dots);

  pair.f1 = options.focal1PerWidth * options.width;
  pair.f2 = options.focal2PerWidth * options.width;
  // Camera 2 stands higher, nearer and aims elsewhere, so the optical axes are skew.
  const RigCamera camera1 = LookAt({-0.065, 0.0, 0.45}, {0.0, 0.0, 0.03}, 0.0, pair.f1,
                                   options.width, options.height);
  const RigCamera camera2 =
      LookAt({0.065, 0.035, 0.43},
             options.aimAtOnePoint ? Vector3(0.0, 0.0, 0.03) : Vector3(0.015, -0.02, 0.02), 0.035,
             pair.f2, options.width, options.height);
  const Mesh mesh = BuildMesh(options.sculpted);
  const Raster raster1 = Rasterise(mesh, camera1);
  const Raster raster2 = Rasterise(mesh, camera2);

  // Soft dot edges of about half a pixel's footprint on the face.
  const double edge = 0.5 * 0.43 / pair.f1;
  pair.image1 = Shade(raster1, grid, edge, options.sculpted, 1.0, options.noiseSigma, options.seed, random);
  pair.image2 =
      Shade(raster2, grid, edge, options.sculpted, options.brightness2, options.noiseSigma, options.seed, random);

  // Truth in the conventional frame: camera 1's, scaled so that |t(3)| = 1.
  const Matrix3 toCamera1 = camera1.axes.transpose();
  const Vector3 t = toCamera1 * (camera2.centre - camera1.centre);
  pair.unitsPerMetre = 1.0 / std::abs(t.z());
  pair.R = toCamera1 * camera2.axes;
  pair.t = t * pair.unitsPerMetre;
  for (const Dot& d : dots) {
    const Vector3 world = pair.unitsPerMetre * toCamera1 * (Vector3(d.u, d.v, Height(d.u, d.v, options.sculpted)) - camera1.centre);
    pair.dots3d.push_back(world);
    pair.dots1.emplace_back(-pair.f1 * world.x() / world.z() + camera1.cx,
                            -pair.f1 * world.y() / world.z() + camera1.cy);
    pair.dots2.push_back(pair.Project2(world));
  }
  pair.world1 = cv::Mat(options.height, options.width, CV_64FC3,
                        cv::Scalar(kInf, kInf, kInf));
  for (int y = 0; y < options.height; ++y)
    for (int x = 0; x < options.width; ++x) {
      const double z = raster1.depth.at<double>(y, x);
      if (!std::isfinite(z)) continue;
      pair.world1.at<cv::Vec3d>(y, x) =
          pair.unitsPerMetre * cv::Vec3d(-(x - camera1.cx) * z / pair.f1,
                                         -(y - camera1.cy) * z / pair.f1, z);
    }
  pair.depth2 = raster2.depth * pair.unitsPerMetre;
  return pair;
}

cv::Mat FaceStereoPair::Depth1() const {
  cv::Mat depth(world1.size(), CV_32F, cv::Scalar(0));
  for (int y = 0; y < world1.rows; ++y)
    for (int x = 0; x < world1.cols; ++x) {
      const double z = world1.at<cv::Vec3d>(y, x)[2];
      if (std::isfinite(z)) depth.at<float>(y, x) = static_cast<float>(z);
    }
  return depth;
}

Eigen::Vector2d FaceStereoPair::Project2(const Vector3& world) const {
  const Vector3 p = R.transpose() * (world - t);
  return {-f2 * p.x() / p.z() + options.width / 2, -f2 * p.y() / p.z() + options.height / 2};
}

std::optional<Eigen::Vector2d> FaceStereoPair::TrueCorrespondence(double x1, double y1) const {
  const int x0 = static_cast<int>(std::floor(x1)), y0 = static_cast<int>(std::floor(y1));
  if (x0 < 0 || y0 < 0 || x0 + 1 >= world1.cols || y0 + 1 >= world1.rows) return std::nullopt;
  const double fx = x1 - x0, fy = y1 - y0;
  const cv::Vec3d w = (1 - fy) * ((1 - fx) * world1.at<cv::Vec3d>(y0, x0) +
                                  fx * world1.at<cv::Vec3d>(y0, x0 + 1)) +
                      fy * ((1 - fx) * world1.at<cv::Vec3d>(y0 + 1, x0) +
                            fx * world1.at<cv::Vec3d>(y0 + 1, x0 + 1));
  const Vector3 world(w[0], w[1], w[2]);
  if (!world.allFinite()) return std::nullopt;
  const Vector3 p = R.transpose() * (world - t);
  if (!(p.z() > 0)) return std::nullopt;
  const Eigen::Vector2d m2 = Project2(world);
  const int px = static_cast<int>(std::lround(m2.x())), py = static_cast<int>(std::lround(m2.y()));
  if (px < 0 || py < 0 || px >= depth2.cols || py >= depth2.rows) return std::nullopt;
  if (depth2.at<double>(py, px) < p.z() * (1 - 0.005)) return std::nullopt;  // hidden
  return m2;
}

Matrix3 FaceStereoPair::FundamentalMatrix() const {
  const auto calibration = [](double f) { return Vector3(-f, -f, 1).asDiagonal().toDenseMatrix(); };
  const auto toCentred = [&](int w, int h) {
    Matrix3 T = Matrix3::Identity();
    T(0, 2) = -(w / 2);
    T(1, 2) = -(h / 2);
    return T;
  };
  Matrix3 tx;
  tx << 0, -t.z(), t.y(), t.z(), 0, -t.x(), -t.y(), t.x(), 0;
  const Matrix3 Fc = calibration(f1).inverse().transpose() * tx * R * calibration(f2).inverse();
  // Both images have the same size.
  const Matrix3 T = toCentred(options.width, options.height);
  Matrix3 F = T.transpose() * Fc * T;
  return F / Eigen::JacobiSVD<Matrix3>(F).singularValues()(0);
}

void LoadFaceImages(const FaceStereoPair& pair, CCamera& camera1, CCamera& camera2) {
  const auto load = [](const cv::Mat& bgr, CCamera& camera) {
    camera.Clear();
    camera.m_image = ToColorImage(bgr);
    EXPECT_TRUE(camera.MakeGray());
    camera.m_roi = MakeRoi(0, 0, 0, bgr.cols, bgr.rows);
  };
  load(pair.image1, camera1);
  load(pair.image2, camera2);
}

std::string FaceTruthJson(const FaceStereoPair& pair, const std::string& caseName) {
  std::ostringstream out;
  out.precision(12);
  const FaceSceneOptions& o = pair.options;
  out << "{\n \"case\": \"" << caseName << "\",\n \"kind\": \"synthetic\",\n";
  out << " \"convention\": \"world = camera 1; R maps camera-2 directions to world; t = camera-2 "
         "centre, scaled so |t[2]| = 1; A = [[-f,0,0],[0,-f,0],[0,0,1]] on centred coords (x - "
         "floor(W/2), y - floor(H/2)); pixel coords 0-based\",\n";
  out << " \"image1_size\": [" << o.width << ", " << o.height << "],\n";
  out << " \"image2_size\": [" << o.width << ", " << o.height << "],\n";
  out << " \"centre1\": [" << o.width / 2 << ", " << o.height / 2 << "],\n";
  out << " \"centre2\": [" << o.width / 2 << ", " << o.height / 2 << "],\n";
  out << " \"f1\": " << pair.f1 << ",\n \"f2\": " << pair.f2 << ",\n";
  out << " \"R\": ";
  AppendJson(out, pair.R);
  out << ",\n \"t\": [" << pair.t.x() << ", " << pair.t.y() << ", " << pair.t.z() << "],\n";
  out << " \"world_unit_m\": " << 1.0 / pair.unitsPerMetre << ",\n";
  const Matrix3 F0 = pair.FundamentalMatrix();
  Matrix3 fromOneBased = Matrix3::Identity();  // 0-based = 1-based - 1
  fromOneBased(0, 2) = -1;
  fromOneBased(1, 2) = -1;
  out << " \"F_px0based\": ";
  AppendJson(out, F0);
  out << ",\n \"F_px1based\": ";
  AppendJson(out, fromOneBased.transpose() * F0 * fromOneBased);
  out << ",\n \"noise_sigma_grey\": " << o.noiseSigma << ",\n \"brightness2\": " << o.brightness2
      << ",\n \"seed\": " << o.seed << ",\n \"n_dots\": " << pair.dots3d.size() << ",\n";
  const auto list = [&](const char* name, const auto& points, int dims) {
    out << " \"" << name << "\": [";
    for (size_t i = 0; i < points.size(); ++i) {
      out << (i ? ", " : "") << "[";
      for (int k = 0; k < dims; ++k) out << (k ? ", " : "") << points[i](k);
      out << "]";
    }
    out << "]";
  };
  list("dots_3d", pair.dots3d, 3);
  out << ",\n";
  list("dots_img1", pair.dots1, 2);
  out << ",\n";
  list("dots_img2", pair.dots2, 2);
  out << "\n}\n";
  return out.str();
}

}  // namespace q3d::test
