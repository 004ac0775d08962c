#include "support/headscan.h"

#include <Eigen/Geometry>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <numeric>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <optional>
#include <set>
#include <sstream>

#include "project/commands_auto_match.h"
#include "support/json_numbers.h"
#include "support/status_assertions.h"

namespace q3d::test {
namespace {

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Camera 1's true depth at a sub-pixel position; NaN off the head.
double DepthAt(const cv::Mat& depth, double u, double v) {
  const int x = static_cast<int>(std::floor(u)), y = static_cast<int>(std::floor(v));
  if (x < 0 || y < 0 || x + 1 >= depth.cols || y + 1 >= depth.rows) return NAN;
  const double fx = u - x, fy = v - y;
  return (1 - fy) * ((1 - fx) * depth.at<float>(y, x) + fx * depth.at<float>(y, x + 1)) +
         fy * ((1 - fx) * depth.at<float>(y + 1, x) + fx * depth.at<float>(y + 1, x + 1));
}

// The world point seen at camera 1's pixel (x, y) at depth z.
Eigen::Vector3d BackProject(const HeadscanTruth& truth, double x, double y, double z) {
  const double cx = truth.depth1.cols / 2, cy = truth.depth1.rows / 2;
  return {-(x - cx) * z / truth.f1, -(y - cy) * z / truth.f1, z};
}

// The true surface normal at a pixel, from the depth's central differences.
std::optional<Eigen::Vector3d> TrueNormal(const HeadscanTruth& truth, int x, int y) {
  const cv::Mat& d = truth.depth1;
  if (x < 1 || y < 1 || x + 1 >= d.cols || y + 1 >= d.rows) return std::nullopt;
  const auto point = [&](int px, int py) {
    return BackProject(truth, px, py, d.at<float>(py, px));
  };
  const Eigen::Vector3d n =
      (point(x + 1, y) - point(x - 1, y)).cross(point(x, y + 1) - point(x, y - 1));
  if (!n.allFinite() || n.norm() == 0) return std::nullopt;
  return n.normalized();
}

double Percentile(std::vector<double> values, double share) {
  if (values.empty()) return NAN;
  const auto k = static_cast<size_t>(share * static_cast<double>(values.size() - 1));
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(k), values.end());
  return values[k];
}

double Rms(const std::vector<double>& values) {
  double sum = 0;
  for (double v : values) sum += v * v;
  return values.empty() ? NAN : std::sqrt(sum / static_cast<double>(values.size()));
}

}  // namespace

std::filesystem::path HeadscanDir(const std::string& name) {
  return std::filesystem::path(Q3D_REALDATA_DIR).parent_path() / "headscan" / name;
}

bool LoadHeadscanTruth(const std::filesystem::path& dir, HeadscanTruth& truth) {
  const std::string json = ReadText(dir / "truth.json");
  const std::vector<double> f1 = JsonNumbersOf(json, "f1"),
                            width = JsonNumbersOf(json, "face_width");
  const std::vector<double> dots = JsonNumbersOf(json, "dots_3d"),
                            image = JsonNumbersOf(json, "dots_img1");
  const std::vector<double> rows = JsonNumbersOf(json, "csv_row_dot1");
  if (f1.size() != 1 || width.size() != 1 || dots.empty() || dots.size() % 3 != 0 ||
      image.size() != dots.size() / 3 * 2)
    return false;
  truth.f1 = f1[0];
  truth.faceWidth = width[0];
  truth.dots3d.clear();
  truth.dotsImage1.clear();
  for (size_t i = 0; i + 2 < dots.size(); i += 3)
    truth.dots3d.emplace_back(dots[i], dots[i + 1], dots[i + 2]);
  for (size_t i = 0; i + 1 < image.size(); i += 2)
    truth.dotsImage1.emplace_back(static_cast<float>(image[i]), static_cast<float>(image[i + 1]));
  truth.csvRowDot.assign(rows.begin(), rows.end());
  truth.depth1 = cv::imread((dir / "depth1.tiff").string(), cv::IMREAD_UNCHANGED);
  return truth.depth1.type() == CV_32F;
}

Status MakeHeadscanProject(const std::filesystem::path& dir, CProjectDoc& doc,
                           HeadscanMatches matches) {
  if (Status loaded = doc.SetImages((dir / "image1.jpg").string(), (dir / "image2.jpg").string());
      !loaded)
    return loaded;
  if (matches == HeadscanMatches::kAutomatic) {
    if (Status found = RunAutomaticMatching(doc, AutoMatchParams{}); !found) return found;
  } else {
    std::ifstream csv(dir / "matches.csv");
    std::string line;
    std::getline(csv, line);  // header
    while (std::getline(csv, line)) {
      double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
      if (std::sscanf(line.c_str(), "%lf,%lf,%lf,%lf", &x1, &y1, &x2, &y2) != 4) continue;
      if (Status added = doc.AddMatch(x1, y1, x2, y2); !added) return added;
    }
  }
  RenderOptions render;
  render.seed = 7;
  return doc.Render(render);
}

struct OutlineShape {
  size_t loops = 0;      // components of the graph of edges that one triangle alone uses
  double roughness = 0;  // % of face width
};

// Roughness: the RMS distance of each outline vertex from the middle of its two outline
// neighbours (points: the vertices in the truth's frame), which the pixel grid's staircase
// raises where the head turns away.
OutlineShape ShapeOfOutline(const DenseSurface& surface, const Eigen::Matrix3Xd& points,
                            double faceWidth) {
  std::map<std::pair<uint32_t, uint32_t>, int> uses;
  for (const auto& f : surface.faces)
    for (int k = 0; k < 3; ++k) {
      const uint32_t a = f[static_cast<size_t>(k)], b = f[static_cast<size_t>((k + 1) % 3)];
      ++uses[{std::min(a, b), std::max(a, b)}];
    }
  std::vector<uint32_t> parent(static_cast<size_t>(surface.vertices.rows()));
  std::iota(parent.begin(), parent.end(), 0u);
  const auto root = [&parent](uint32_t v) {
    while (parent[v] != v) v = parent[v] = parent[parent[v]];
    return v;
  };
  std::map<uint32_t, std::vector<uint32_t>> neighbours;
  for (const auto& [edge, count] : uses) {
    if (count != 1) continue;
    neighbours[edge.first].push_back(edge.second);
    neighbours[edge.second].push_back(edge.first);
    parent[root(edge.first)] = root(edge.second);
  }
  std::set<uint32_t> loops;
  std::vector<double> offsets;
  for (const auto& [v, around] : neighbours) {
    loops.insert(root(v));
    if (around.size() == 2)
      offsets.push_back(
          100 * (points.col(v) - 0.5 * (points.col(around[0]) + points.col(around[1]))).norm() /
          faceWidth);
  }
  return {loops.size(), Rms(offsets)};
}

std::vector<int> DotsOfMatches(const HeadscanTruth& truth, const CStereoPair& pair) {
  Matrix matches;
  pair.m_matches.ToMatrix(matches);
  std::vector<int> dots;
  for (Eigen::Index i = 0; i < matches.rows(); ++i) {
    // Stored matches are 1-based.
    const cv::Point2f p(static_cast<float>(matches(i, 0) - 1),
                        static_cast<float>(matches(i, 1) - 1));
    int nearest = -1;
    double best = 1.5;
    for (size_t k = 0; k < truth.dotsImage1.size(); ++k)
      if (const double d = cv::norm(truth.dotsImage1[k] - p); d <= best) {
        best = d;
        nearest = static_cast<int>(k);
      }
    dots.push_back(nearest);
  }
  return dots;
}

DenseScore ScoreDenseSurface(const HeadscanTruth& truth, const Matrix& renderedPoints,
                             const std::vector<int>& dotOfRow, const DenseSurface& surface) {
  DenseScore score;
  if (renderedPoints.rows() != static_cast<Eigen::Index>(dotOfRow.size()) ||
      renderedPoints.cols() != 3)
    return score;
  std::vector<Eigen::Index> rows;
  for (size_t i = 0; i < dotOfRow.size(); ++i)
    if (dotOfRow[i] >= 0 && static_cast<size_t>(dotOfRow[i]) < truth.dots3d.size())
      rows.push_back(static_cast<Eigen::Index>(i));
  const auto n = static_cast<Eigen::Index>(rows.size());
  if (n < 4) return score;
  Eigen::Matrix3Xd model(3, n), real(3, n);
  for (Eigen::Index i = 0; i < n; ++i) {
    const Eigen::Index row = rows[static_cast<size_t>(i)];
    model.col(i) = renderedPoints.row(row).transpose();
    real.col(i) = truth.dots3d[static_cast<size_t>(dotOfRow[static_cast<size_t>(row)])];
  }
  const Eigen::Matrix4d align = Eigen::umeyama(model, real, true);

  // Vertex normals: the sum of the adjacent triangles' area-weighted normals.
  const Eigen::Index m = surface.vertices.rows();
  Eigen::Matrix3Xd points(3, m), normals = Eigen::Matrix3Xd::Zero(3, m);
  for (Eigen::Index v = 0; v < m; ++v)
    points.col(v) = (align * surface.vertices.row(v).transpose().homogeneous()).head<3>();
  for (const auto& face : surface.faces) {
    const Eigen::Vector3d a = points.col(face[0]), b = points.col(face[1]), c = points.col(face[2]);
    const Eigen::Vector3d normal = (b - a).cross(c - a);
    for (uint32_t v : face) normals.col(v) += normal;
  }

  std::vector<cv::Point2f> hull;
  cv::convexHull(truth.dotsImage1, hull);
  const double cx = truth.depth1.cols / 2, cy = truth.depth1.rows / 2;
  std::vector<cv::Point2d> projected(static_cast<size_t>(m));
  std::vector<double> inside, margin, angles, rims, between;
  cv::Mat dotDistance, notDot(truth.depth1.size(), CV_8U, cv::Scalar(255));
  for (const cv::Point2f& dot : truth.dotsImage1)
    if (const cv::Point c(cvRound(dot.x), cvRound(dot.y)); c.inside(cv::Rect({}, notDot.size())))
      notDot.at<uint8_t>(c) = 0;
  cv::distanceTransform(notDot, dotDistance, cv::DIST_L2, cv::DIST_MASK_PRECISE);
  for (Eigen::Index v = 0; v < m; ++v) {
    const Eigen::Vector3d p = points.col(v);
    const double u = -truth.f1 * p.x() / p.z() + cx, w = -truth.f1 * p.y() / p.z() + cy;
    projected[static_cast<size_t>(v)] = {u, w};
    const double depth = DepthAt(truth.depth1, u, w);
    if (!std::isfinite(depth) || !std::isfinite(p.z())) continue;
    const double error = 100 * (p.z() - depth) / truth.faceWidth;
    const bool inHull =
        cv::pointPolygonTest(hull, cv::Point2f(static_cast<float>(u), static_cast<float>(w)),
                             false) >= 0;
    (inHull ? inside : margin).push_back(error);
    const std::optional<Eigen::Vector3d> real =
        TrueNormal(truth, static_cast<int>(std::lround(u)), static_cast<int>(std::lround(w)));
    if (inHull && real && normals.col(v).norm() > 0) {
      const double cosine = std::abs(real->dot(normals.col(v).normalized()));
      angles.push_back(std::acos(std::min(1.0, cosine)) * 180 / M_PI);
      const float fromDot =
          dotDistance.at<float>(static_cast<int>(std::lround(w)), static_cast<int>(std::lround(u)));
      if (fromDot >= 2 && fromDot < 4) rims.push_back(angles.back());
      if (fromDot >= 6 && fromDot < 14) between.push_back(angles.back());
    }
  }
  score.vertices = static_cast<size_t>(m);
  const OutlineShape outline = ShapeOfOutline(surface, points, truth.faceWidth);
  score.outlines = outline.loops;
  score.outlineRoughness = outline.roughness;
  score.insideRms = Rms(inside);
  score.marginRms = Rms(margin);
  for (double& e : inside) e = std::abs(e);
  score.insideP95 = Percentile(inside, 0.95);
  score.insideMedian = Percentile(inside, 0.5);
  score.normalMedian = Percentile(angles, 0.5);
  score.normalP90 = Percentile(angles, 0.9);
  const auto mean = [](const std::vector<double>& v) {
    return v.empty() ? NAN
                     : std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());
  };
  score.normalOnDotRims = mean(rims);
  score.normalBetweenDots = mean(between);

  // Coverage: the projected triangles drawn over the head's pixels inside the hull.
  cv::Mat covered(truth.depth1.size(), CV_8U, cv::Scalar(0)), face = covered.clone();
  constexpr int kShift = 4;
  for (const auto& f : surface.faces) {
    cv::Point corners[3];
    bool drawable = true;
    for (int k = 0; k < 3; ++k) {
      const cv::Point2d q = projected[f[static_cast<size_t>(k)]];
      drawable = drawable && std::abs(q.x) < 1e5 && std::abs(q.y) < 1e5;  // false for NaN too
      if (drawable)
        corners[k] = cv::Point(static_cast<int>(std::lround(q.x * (1 << kShift))),
                               static_cast<int>(std::lround(q.y * (1 << kShift))));
    }
    if (drawable) cv::fillConvexPoly(covered, corners, 3, cv::Scalar(255), cv::LINE_8, kShift);
  }
  std::vector<cv::Point> hullPixels;
  for (const cv::Point2f& p : hull) hullPixels.emplace_back(cvRound(p.x), cvRound(p.y));
  cv::fillConvexPoly(face, hullPixels, cv::Scalar(255));
  face &= truth.depth1 == truth.depth1;  // NaN compares unequal: off the head
  const int headPixels = cv::countNonZero(face);
  score.coverage =
      headPixels > 0 ? cv::countNonZero(face & covered) / static_cast<double>(headPixels) : 0;
  return score;
}

std::string Describe(const DenseScore& s) {
  char text[400];
  std::snprintf(text, sizeof text,
                "inside hull RMS %.3f %% p95 %.3f %% median %.3f %%; margin RMS %.3f %%; normals "
                "median %.1f deg p90 %.1f deg (dots' rims %.1f, between dots %.1f); coverage %.1f "
                "%%; %zu vertices; %zu outlines, "
                "roughness %.3f %%",
                s.insideRms, s.insideP95, s.insideMedian, s.marginRms, s.normalMedian, s.normalP90,
                s.normalOnDotRims, s.normalBetweenDots, 100 * s.coverage, s.vertices, s.outlines,
                s.outlineRoughness);
  return text;
}

}  // namespace q3d::test
