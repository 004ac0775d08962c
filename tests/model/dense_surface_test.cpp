// The dense surface against the synthetic face's true surface: depth error along camera 1's
// rays after aligning the model to the truth by its dots, and coverage of the face.
#include "model/dense_surface.h"

#include <gtest/gtest.h>

#include <Eigen/Geometry>
#include <algorithm>
#include <cmath>
#include <new>
#include <opencv2/imgproc.hpp>
#include <random>

#include "base/progress.h"
#include "model/c3d_model.h"
#include "model/mesh_builder.h"
#include "project/project_doc.h"
#include "support/status_assertions.h"
#include "support/synthetic_face.h"

namespace q3d {
namespace {

struct SurfaceFigures {
  double rmsPercent = 0, p95Percent = 0, coverage = 0;
};

// The face pair in the project, its dots matched (with Gaussian noise) and rendered.
void RenderFace(const test::FaceStereoPair& truth, double dotNoisePx, CProjectDoc& doc) {
  test::LoadFaceImages(truth, doc.m_camera1, doc.m_camera2);
  std::mt19937 random(3);
  std::normal_distribution<double> noise(0.0, dotNoisePx);
  for (size_t i = 0; i < truth.dots1.size(); ++i) {
    if (!doc.AddMatch(truth.dots1[i].x() + noise(random), truth.dots1[i].y() + noise(random),
                      truth.dots2[i].x() + noise(random), truth.dots2[i].y() + noise(random)))
      throw std::bad_alloc();  // adding fails only when memory runs short
  }
  // Noisy dots leave this pair's focal lengths undetermined (about 13 % apart from the
  // truth at one deviation): as with a phone's photographs, the focal lengths written in
  // them, a few per cent off, take part in the fit.
  if (dotNoisePx > 0) {
    doc.m_camera1.m_focal.exif_px = 1.03 * truth.f1;
    doc.m_camera2.m_focal.exif_px = 0.97 * truth.f2;
  }
  RenderOptions render;
  render.seed = 7;
  render.refine = true;
  EXPECT_TRUE(doc.Render(render));
}

SurfaceFigures MeasureDenseSurface(double dotNoisePx) {
  const test::FaceStereoPair truth = test::RenderFaceStereoPair({});
  CProjectDoc doc;
  RenderFace(truth, dotNoisePx, doc);
  DenseSurface surface;
  EXPECT_TRUE(test::Succeeded(BuildDenseSurface(doc.m_stereoPair, {}, nullptr, surface)));

  // The model's dots onto the true dots by the best similarity transform.
  const auto n = static_cast<Eigen::Index>(truth.dots3d.size());
  Eigen::Matrix3Xd model(3, n), real(3, n);
  for (Eigen::Index i = 0; i < n; ++i) {
    model.col(i) = doc.m_stereoPair.m_XW.row(i).transpose();
    real.col(i) = truth.dots3d[i];
  }
  const Eigen::Matrix4d align = Eigen::umeyama(model, real, true);

  std::vector<double> errors;
  for (size_t v = 0; v < surface.pixels1.size(); ++v) {
    const cv::Point2f p = surface.pixels1[v];
    const cv::Vec3d w = truth.world1.at<cv::Vec3d>(cvRound(p.y), cvRound(p.x));
    if (!std::isfinite(w[2])) continue;
    const Eigen::Vector3d aligned =
        (align * surface.vertices.row(static_cast<Eigen::Index>(v)).transpose().homogeneous())
            .head<3>();
    // Depth along the ray: the aligned point's distance from camera 1 against the truth's.
    errors.push_back(aligned.norm() - Eigen::Vector3d(w[0], w[1], w[2]).norm());
  }
  // The face region: image 1's pixels inside the dots' hull; covered when a vertex is there.
  std::vector<cv::Point> dots, hull;
  for (const Eigen::Vector2d& d : truth.dots1) dots.emplace_back(cvRound(d.x()), cvRound(d.y()));
  cv::convexHull(dots, hull);
  cv::Mat face(truth.image1.size(), CV_8U, cv::Scalar(0)), covered = face.clone();
  cv::fillConvexPoly(face, hull, cv::Scalar(255));
  for (const cv::Point2f& p : surface.pixels1)
    cv::rectangle(covered, cv::Rect(cvRound(p.x), cvRound(p.y), surface.step, surface.step),
                  cv::Scalar(255), cv::FILLED);
  SurfaceFigures figures;
  figures.coverage = cv::countNonZero(face & covered) / static_cast<double>(cv::countNonZero(face));

  const double faceWidth = 0.15 * truth.unitsPerMetre;
  double squares = 0;
  for (double& e : errors) {
    squares += e * e;
    e = std::abs(e);
  }
  std::sort(errors.begin(), errors.end());
  if (errors.empty()) return figures;
  figures.rmsPercent = 100 * std::sqrt(squares / errors.size()) / faceWidth;
  figures.p95Percent = 100 * errors[errors.size() * 95 / 100] / faceWidth;
  for (const auto& [name, value] : {std::pair{"rms_pct", figures.rmsPercent},
                                    {"p95_pct", figures.p95Percent},
                                    {"coverage", figures.coverage}})
    ::testing::Test::RecordProperty(name, std::to_string(value));
  std::printf(
      "dot noise %.1f px: depth error RMS %.3f %%, p95 %.3f %% of face width, "
      "coverage %.1f %%, %zu vertices, %zu triangles\n",
      dotNoisePx, figures.rmsPercent, figures.p95Percent, 100 * figures.coverage,
      surface.pixels1.size(), surface.faces.size());
  return figures;
}

TEST(DenseSurface, FollowsTheTrueFaceWithExactDots) {
  const SurfaceFigures figures = MeasureDenseSurface(0.0);
  EXPECT_LE(figures.rmsPercent, 0.3);
  EXPECT_LE(figures.p95Percent, 0.6);
  EXPECT_GE(figures.coverage, 0.9);
}

TEST(DenseSurface, StaysCloseWithNoisyDots) {
  const SurfaceFigures figures = MeasureDenseSurface(0.5);
  EXPECT_LE(figures.rmsPercent, 1.0);
  EXPECT_GE(figures.coverage, 0.9);
}

// The dense mesh lies where the points mesh lies, facing the same way, and its texture
// coordinates stay inside the texture.
TEST(DenseSurface, DenseMeshSharesThePointsMeshFrame) {
  const test::FaceStereoPair truth = test::RenderFaceStereoPair({});
  CProjectDoc doc;
  RenderFace(truth, 0.0, doc);
  MeshBuilder points, dense;
  ASSERT_EQ(doc.m_model.BuildPointMesh(points, 0), kMeshOk);
  ASSERT_TRUE(test::Succeeded(doc.m_model.BuildDenseMesh(dense)));
  EXPECT_EQ(doc.m_model.PolygonCount(), dense.FaceCount());
  const cv::Mat texture = doc.m_model.DenseTexture(2048);
  EXPECT_EQ(texture.size(), doc.m_model.m_denseRegion.size());

  const auto& p = points.Positions();
  const auto& q = dense.Positions();
  const double faceWidth = 0.15 * truth.unitsPerMetre;
  for (int i = 0; i < points.VertexCount(); ++i) {
    int nearest = 0;
    double best = 1e300;
    for (int j = 0; j < dense.VertexCount(); ++j) {
      const double d =
          std::hypot(p[3 * i] - q[3 * j], p[3 * i + 1] - q[3 * j + 1], p[3 * i + 2] - q[3 * j + 2]);
      if (d < best) best = d, nearest = j;
    }
    EXPECT_LT(best, 0.005 * faceWidth) << "dot " << i;
    double facing = 0;
    for (int c = 0; c < 3; ++c)
      facing += points.Normals()[3 * i + c] * dense.Normals()[3 * nearest + c];
    EXPECT_GT(facing, 0.5) << "dot " << i;
  }
  const auto& uv = dense.TextureCoordinates();
  EXPECT_TRUE(std::all_of(uv.begin(), uv.end(), [](float t) { return t >= 0 && t <= 1; }));
}

}  // namespace
}  // namespace q3d

namespace q3d {
namespace {

// Asks to cancel once the operation has reported `after` positions.
class CancelAfter : public Progress {
 public:
  explicit CancelAfter(int after) : after_(after) {}
  int reports = 0;
  std::vector<int> positions;

 protected:
  void OnPosChanged(bool) override {
    positions.push_back(Pos());
    if (++reports >= after_) RequestCancel();
  }

 private:
  int after_;
};

// Wherever the user cancels, the build ends as cancelled and the model keeps the mesh
// and figures it had.
TEST(DenseSurface, ACancelAtAnyStageEndsCancelledAndChangesNothing) {
  test::FaceSceneOptions options;
  options.width = 640;
  options.height = 480;
  const test::FaceStereoPair truth = test::RenderFaceStereoPair(options);
  CProjectDoc doc;
  RenderFace(truth, 0.0, doc);
  MeshBuilder mesh;
  ASSERT_EQ(doc.m_model.BuildPointMesh(mesh, 0), kMeshOk);
  const int32_t polygons = doc.m_model.PolygonCount();
  const std::vector<float> positions = mesh.Positions();
  CancelAfter never(1000);
  DenseSurface complete;
  ASSERT_TRUE(test::Succeeded(BuildDenseSurface(doc.m_stereoPair, {}, &never, complete)));
  ASSERT_GE(never.reports, 3);
  // The refinement, the longest stage, moves the bar round by round.
  EXPECT_TRUE(std::is_sorted(never.positions.begin(), never.positions.end()));
  EXPECT_GE(std::count_if(never.positions.begin(), never.positions.end(),
                          [](int pos) { return pos > 75 && pos < 95; }),
            3);
  for (int after = 1; after <= never.reports; ++after) {
    CancelAfter progress(after);
    MeshBuilder dense = mesh;
    const Status built = doc.m_model.BuildDenseMesh(dense, {}, &progress);
    EXPECT_TRUE(IsCancelled(built)) << "cancelled after " << after << ": " << built.Reason();
    EXPECT_EQ(dense.Positions(), positions);
    EXPECT_EQ(doc.m_model.PolygonCount(), polygons);
    EXPECT_TRUE(doc.m_model.DenseTexture(2048).empty());
  }
}

// A calibration no lens has (as a hostile project holds) spreads the rectified frame beyond
// any integer size: the dense surface is refused with a message.
TEST(DenseSurface, ACalibrationBeyondAnyFrameIsRefused) {
  test::FaceSceneOptions options;
  options.width = 320;
  options.height = 240;
  CProjectDoc doc;
  RenderFace(test::RenderFaceStereoPair(options), 0.0, doc);
  doc.m_stereoPair.m_A1(0, 0) *= 1e12;
  DenseSurface surface;
  const Status built = BuildDenseSurface(doc.m_stereoPair, {}, nullptr, surface);
  EXPECT_FALSE(built);
  EXPECT_NE(built.Reason().find("densely"), std::string::npos) << built.Reason();
}

// Retouching of the display texture shows on the dense texture at the same place of the
// face; the rest keeps image 1's own pixels.
TEST(DenseSurface, TheDenseTextureTakesTheRetouchedPixels) {
  test::FaceSceneOptions options;
  options.width = 640;
  options.height = 480;
  const test::FaceStereoPair truth = test::RenderFaceStereoPair(options);
  CProjectDoc doc;
  RenderFace(truth, 0.0, doc);
  doc.m_model.UpdateTexture();
  MeshBuilder dense;
  ASSERT_TRUE(test::Succeeded(doc.m_model.BuildDenseMesh(dense)));
  const cv::Mat before = doc.m_model.DenseTexture(2048);
  const cv::Rect region = doc.m_model.m_denseRegion;
  ASSERT_EQ(before.size(), region.size());
  EXPECT_EQ(cv::norm(before, doc.m_camera1.m_image.Mat()(region), cv::NORM_INF), 0.0);

  // A magenta patch over the texture's centre, as a clone brush would leave it.
  const IplROI& source = doc.m_model.m_sourceRoi;
  const cv::Rect patch(200, 220, 60, 40);
  cv::rectangle(doc.m_model.m_texture.Mat(), patch, cv::Scalar(255, 0, 255), cv::FILLED);
  const cv::Mat after = doc.m_model.DenseTexture(2048);
  ASSERT_EQ(after.size(), before.size());
  auto toDense = [&](double s, double t) {
    return cv::Point(
        static_cast<int>((s + 0.5) * source.width / 512.0 - 0.5 + source.xOffset - region.x),
        static_cast<int>((t + 0.5) * source.height / 512.0 - 0.5 + source.yOffset - region.y));
  };
  const cv::Rect inside(toDense(patch.x + 2, patch.y + 2),
                        toDense(patch.br().x - 3, patch.br().y - 3));
  ASSERT_GT(inside.area(), 100);
  cv::Mat magenta(inside.size(), CV_8UC3, cv::Scalar(255, 0, 255));
  EXPECT_EQ(cv::norm(after(inside), magenta, cv::NORM_INF), 0.0);
  // Outside the patch's footprint (a pixel's blend at its edge) nothing moved.
  const cv::Rect footprint =
      cv::Rect(toDense(patch.x - 2, patch.y - 2), toDense(patch.br().x + 2, patch.br().y + 2)) &
      cv::Rect({}, before.size());
  cv::Mat unchanged = after.clone();
  before(footprint).copyTo(unchanged(footprint));
  EXPECT_EQ(cv::norm(unchanged, before, cv::NORM_INF), 0.0);
}

}  // namespace
}  // namespace q3d
