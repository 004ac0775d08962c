#include "numeric/render_pipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "numeric/motion_refinement.h"
#include "support/numeric_test_support.h"
#include "support/synthetic_scene.h"
#include "support/real_data.h"

namespace q3d {
namespace {

ImageSize Size1(const test::SyntheticScene& s) { return {s.options.width1, s.options.height1}; }
ImageSize Size2(const test::SyntheticScene& s) { return {s.options.width2, s.options.height2}; }

Result<RenderOutcome> RenderScene(const test::SyntheticScene& scene, bool refine, uint64_t seed,
                                  Progress* progress = nullptr) {
  RandomSource random(seed);
  RenderSettings settings;
  settings.refine = refine;
  return RenderMatches(scene.PixelMatches(), Size1(scene), Size2(scene), settings, random,
                       progress);
}

TEST(RenderPipeline, CentredCoordinates) {
  Matrix matches(2, 4);
  matches << 321, 241, 1, 1,  // pixel (320, 240) of a 640 x 480 image 1
      11, 21, 321, 2;         // pixel (320, 1) of a 641 x 480 image 2: centre column 320
  const CentredPoints points = CentreMatches(matches, {640, 480}, {641, 480});
  EXPECT_EQ(points.m1(0, 0), 0);
  EXPECT_EQ(points.m1(0, 1), 0);
  EXPECT_EQ(points.m2(0, 0), -320);
  EXPECT_EQ(points.m2(0, 1), -240);
  EXPECT_EQ(points.m2(1, 0), 0);
  EXPECT_EQ(points.m2(1, 1), -239);
  EXPECT_EQ(points.m1(1, 0), -310);
}

TEST(RenderPipeline, SceneRoundTripsThroughPixelMatches) {
  const auto scene = test::MakeSyntheticScene();
  const CentredPoints points = CentreMatches(scene.PixelMatches(), Size1(scene), Size2(scene));
  EXPECT_TRUE(points.m1.isApprox(scene.m1));
  EXPECT_TRUE(points.m2.isApprox(scene.m2));
}

TEST(RenderPipeline, FewerThanTenMatchesFailWithoutSearching) {
  const auto scene = test::MakeSyntheticScene();
  RandomSource random(1);
  test::RecordingProgress progress;
  const Result<RenderOutcome> outcome = RenderMatches(scene.PixelMatches().topRows(9), Size1(scene),
                                                      Size2(scene), {}, random, &progress);
  EXPECT_FALSE(outcome.ok());
  EXPECT_EQ(progress.created, 0);
}

TEST(RenderPipeline, DegenerateMatchesFailCleanly) {
  const auto scene = test::MakeSyntheticScene();
  for (const bool refine : {false, true}) {
    // Every match at the same pixels: no epipolar geometry, no trial succeeds.
    Matrix same = Matrix::Constant(30, 4, 100);
    RandomSource random(1);
    test::RecordingProgress progress;
    RenderSettings settings;
    settings.refine = refine;
    EXPECT_FALSE(RenderMatches(same, Size1(scene), Size2(scene), settings, random, &progress).ok());
    EXPECT_EQ(progress.created, progress.destroyed);
    // Non-finite coordinates.
    Matrix broken = scene.PixelMatches();
    broken(3, 2) = std::nan("");
    EXPECT_FALSE(RenderMatches(broken, Size1(scene), Size2(scene), settings, random).ok());
  }
}

TEST(RenderPipeline, NoiseFreeRenderWithAndWithoutRefinement) {
  for (const bool refine : {false, true}) {
    const auto scene = test::MakeSyntheticScene();
    test::RecordingProgress progress;
    const Result<RenderOutcome> outcome = RenderScene(scene, refine, 8, &progress);
    ASSERT_TRUE(outcome.ok());
    // The search reports its trials; the fit, when on, its own pass to 100 %.
    EXPECT_EQ(progress.destroyed, progress.created);
    EXPECT_EQ(progress.positions.back(), 100);
    EXPECT_EQ(progress.StepText(), refine ? "Fitting the cameras to the matches, please wait..."
                                          : "Rendering, please wait...");
    // The search alone is exact; the fit holds a focal length nobody gave to a weak
    // phone-lens prior, which moves one the matches fix by a few hundredths of a percent.
    const double focal_tolerance = refine ? 1e-3 : 1e-4;
    EXPECT_NEAR(-outcome->A1(0, 0), scene.f1, focal_tolerance * scene.f1);
    EXPECT_NEAR(-outcome->A2(0, 0), scene.f2, focal_tolerance * scene.f2);
    ASSERT_EQ(outcome->XW.rows(), scene.Count());
    ASSERT_EQ(outcome->XW.cols(), 3);
    const double extent = scene.points.cwiseAbs().maxCoeff();
    EXPECT_LT((outcome->XW.transpose() - scene.points).cwiseAbs().maxCoeff(),
              refine ? 5e-3 * extent : 1e-5);
    EXPECT_EQ(outcome->F.rows(), 3);
    EXPECT_EQ(outcome->e1.rows(), 2);
  }
}

TEST(RenderPipeline, WrongMatchesNeverLeaveTheModelMirrored) {
  // A wrong match can decide the sign of the search's translation, which the search's score
  // cannot see; every render must still give the scene itself, in front of the cameras.
  for (uint64_t scene_seed = 1; scene_seed <= 3; ++scene_seed) {
    test::SceneOptions options;
    options.outlier_share = 0.2;
    options.seed = scene_seed;
    const auto scene = test::MakeSyntheticScene(options);
    for (const uint64_t render_seed : {1, 3, 8}) {
      const Result<RenderOutcome> outcome = RenderScene(scene, false, render_seed);
      ASSERT_TRUE(outcome.ok());
      EXPECT_TRUE(outcome->t.isApprox(scene.t, 1e-3)) << scene_seed << " " << render_seed;
      for (const Eigen::Index i : scene.CorrectRows()) {
        EXPECT_LT((outcome->XW.row(i).transpose() - scene.points.col(i)).norm(), 1e-3)
            << scene_seed << " " << render_seed << " match " << i;
      }
    }
  }
}

// Camera 2 aimed at a point of camera 1's optical axis: the two axes meet, and the matches
// fit every focal length alike.
test::SceneOptions AxesMeeting(double noise, uint64_t seed) {
  test::SceneOptions options;
  options.camera2_target = Eigen::Vector3d(0, 0, 20);
  options.pixel_noise_sigma = noise;
  options.seed = seed;
  return options;
}

double RotationErrorDeg(const Matrix& R, const Matrix& truth) {
  const Eigen::AngleAxisd difference(Matrix3(Matrix3(R).transpose() * Matrix3(truth)));
  return difference.angle() * 180 / M_PI;
}

// Aimed cameras leave the focal lengths to whatever is known: without a known one the
// render says it assumed them, on every seed; with the true ones entered it gives the
// scene itself.
TEST(RenderPipeline, AimedCamerasRenderAssumedOrWithTheKnownFocalLength) {
  for (const double noise : {0.0, 0.5}) {
    for (const bool refine : {false, true}) {
      for (const uint64_t seed : {1, 2, 3}) {
        const auto scene = test::MakeSyntheticScene(AxesMeeting(noise, 2));
        RandomSource random(seed);
        RenderSettings settings;
        settings.refine = refine;
        const Result<RenderOutcome> assumed =
            RenderMatches(scene.PixelMatches(), Size1(scene), Size2(scene), settings, random);
        ASSERT_TRUE(assumed.ok()) << assumed.Reason();
        EXPECT_EQ(assumed->focal_source[0], FocalSource::kAssumed) << noise << refine << seed;
        EXPECT_EQ(assumed->focal_source[1], FocalSource::kAssumed) << noise << refine << seed;
        settings.known = {KnownFocal{scene.f1, FocalSource::kEntered},
                          KnownFocal{scene.f2, FocalSource::kEntered}};
        const Result<RenderOutcome> known =
            RenderMatches(scene.PixelMatches(), Size1(scene), Size2(scene), settings, random);
        ASSERT_TRUE(known.ok()) << known.Reason();
        EXPECT_EQ(known->focal_source[0], FocalSource::kEntered);
        EXPECT_NEAR(-known->A1(0, 0), scene.f1, 0.02 * scene.f1);
        // Noisy matches: the fit's business (the essential matrix alone is a few times worse).
        if (noise > 0 && !refine) continue;
        const double width =
            (scene.points.rowwise().maxCoeff() - scene.points.rowwise().minCoeff()).maxCoeff();
        const double shape =
            test::SimilarityAlignedError(known->XW.transpose(), scene.points) / width;
        std::printf(
            "[ figures  ] aimed, noise %.1f px, seed %d: rotation %.3f deg, worst point %.3f %% of "
            "width\n",
            noise, static_cast<int>(seed), RotationErrorDeg(known->Rcam, scene.R), 100 * shape);
        EXPECT_LT(RotationErrorDeg(known->Rcam, scene.R), noise > 0 ? 1.0 : 1e-3);
        EXPECT_LT(shape, noise > 0 ? 0.03 : 1e-6);
      }
    }
  }
}

struct Spread {
  std::vector<double> values;
  void Add(double v) { values.push_back(v); }
  double Median() const {
    std::vector<double> v = values;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  }
  double Max() const { return *std::max_element(values.begin(), values.end()); }
};

// RMS distance of the points after the best similarity onto the truth, over the truth's
// width.
double AlignedRmsShare(const Matrix& estimate, const Matrix& truth) {
  const Eigen::Matrix4d T = Eigen::umeyama(estimate, truth, true);
  const Matrix aligned =
      (T.topLeftCorner<3, 3>() * estimate).colwise() + Eigen::Vector3d(T.topRightCorner<3, 1>());
  const double width = (truth.rowwise().maxCoeff() - truth.rowwise().minCoeff()).maxCoeff();
  return std::sqrt((aligned - truth).colwise().squaredNorm().mean()) / width;
}

// Aimed captures with 0.5 px noise and a focal length known 5 % off (as a photograph's
// metadata gives it, or entered): the fit keeps the shape and the rotation.
TEST(RenderPipeline, AimedCapturesWithAFocalLengthFivePercentOff) {
  Spread shape, rotation;
  for (const FocalSource source : {FocalSource::kExif, FocalSource::kEntered}) {
    for (uint64_t seed = 1; seed <= 10; ++seed) {
      const auto scene = test::MakeSyntheticScene(AxesMeeting(0.5, seed));
      RandomSource random(seed);
      RenderSettings settings;
      settings.known = {KnownFocal{1.05 * scene.f1, source}, KnownFocal{0.95 * scene.f2, source}};
      const Result<RenderOutcome> outcome =
          RenderMatches(scene.PixelMatches(), Size1(scene), Size2(scene), settings, random);
      ASSERT_TRUE(outcome.ok()) << outcome.Reason();
      shape.Add(AlignedRmsShare(outcome->XW.transpose(), scene.points));
      rotation.Add(RotationErrorDeg(outcome->Rcam, scene.R));
    }
  }
  std::printf("[ figures  ] aimed, 0.5 px, focal 5 %% off: shape RMS %.3f %% median, %.3f %% worst; "
              "rotation %.3f deg median, %.3f deg worst\n",
              100 * shape.Median(), 100 * shape.Max(), rotation.Median(), rotation.Max());
  EXPECT_LT(shape.Median(), 0.0065);
  EXPECT_LT(shape.Max(), 0.011);
  EXPECT_LT(rotation.Median(), 1.3);
}

TEST(RenderPipeline, RefinedRenderWithDiagnosticsOnEndsWithTheFocalDeviation) {
  // The trials are refined on threads of their own while the sink is set; the render's
  // last line reports how firmly the matches fix the focal lengths.
  test::SceneOptions options;
  options.pixel_noise_sigma = 0.5;
  options.outlier_share = 0.2;
  const auto scene = test::MakeSyntheticScene(options);
  test::DiagnosticCapture capture;
  const Result<RenderOutcome> outcome = RenderScene(scene, true, 4);
  ASSERT_TRUE(outcome.ok());
  ASSERT_FALSE(capture.lines.empty());
  EXPECT_NE(capture.lines.back().find("focal length deviation"), std::string::npos)
      << capture.lines.back();
}

TEST(RenderPipeline, FocalDeviationIsReportedAndSmallOnAGoodPair) {
  test::SceneOptions options;
  options.pixel_noise_sigma = 0.5;
  const Result<RenderOutcome> outcome = RenderScene(test::MakeSyntheticScene(options), true, 2);
  ASSERT_TRUE(outcome.ok());
  EXPECT_GT(outcome->f1_deviation, 0.01);
  EXPECT_LT(outcome->f1_deviation, 0.3);
  EXPECT_GT(outcome->f2_deviation, 0.01);
  EXPECT_LT(outcome->f2_deviation, 0.3);
}

// Real ring-camera pairs aim both cameras at the object's centre: their optical axes nearly
// meet, so a render must refuse rather than give focal lengths a third of the true ones.
Matrix RealMatches(const std::filesystem::path& dir) {
  std::ifstream csv(dir / "matches.csv");
  std::string line;
  std::getline(csv, line);  // header
  std::vector<double> values;
  while (std::getline(csv, line)) {
    std::replace(line.begin(), line.end(), ',', ' ');
    std::istringstream fields(line);
    double v;
    while (fields >> v) values.push_back(v + 1);  // 0-based pixels to the match layout
  }
  const auto n = static_cast<Eigen::Index>(values.size() / 4);
  return Eigen::Map<const Eigen::Matrix<double, Eigen::Dynamic, 4, Eigen::RowMajor>>(values.data(),
                                                                                     n, 4);
}

// The number, or the numbers of the array, after "key": in the file, in order (the truth
// files are plain generated JSON).
std::vector<double> JsonNumbers(const std::filesystem::path& file, const std::string& key) {
  std::ifstream in(file);
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  size_t at = text.find("\"" + key + "\":");
  std::vector<double> numbers;
  if (at == std::string::npos) return numbers;
  at = text.find_first_not_of(' ', at + key.size() + 3);
  if (text[at] != '[') return {std::stod(text.substr(at))};
  int depth = 0;
  for (size_t i = at; i < text.size(); ++i) {
    if (text[i] == '[') ++depth;
    if (text[i] == ']' && --depth == 0) break;
    if (std::isdigit(static_cast<unsigned char>(text[i])) || text[i] == '-') {
      size_t used = 0;
      numbers.push_back(std::stod(text.substr(i), &used));
      i += used - 1;
    }
  }
  return numbers;
}

// Real ring-camera pairs aim both cameras at the object's centre. Without a known focal
// length the render must say it assumed one; with the calibrated one entered it must
// give the true rotation.
TEST(RenderPipeline, RealPairsAssumeTheFocalLengthOrUseTheKnownOne) {
  const std::filesystem::path root(Q3D_REALDATA_DIR);
  const std::pair<const char*, ImageSize> pairs[] = {{"temple_sr_07_08", {605, 466}},
                                                     {"dino_sr_02_03", {635, 403}}};
  for (const auto& [name, size] : pairs) {
    Q3D_REQUIRE_REAL_DATA(root / name / "matches.csv");
    const Matrix matches = RealMatches(root / name);
    const std::vector<double> f = JsonNumbers(root / name / "truth.json", "f1");
    const std::vector<double> r = JsonNumbers(root / name / "truth.json", "R");
    ASSERT_EQ(r.size(), 9u);
    const Matrix3 truth = Eigen::Map<const Eigen::Matrix<double, 3, 3, Eigen::RowMajor>>(r.data());
    for (const uint64_t seed : {1, 2, 3}) {
      RandomSource random(seed);
      RenderSettings settings;
      const Result<RenderOutcome> unknown = RenderMatches(matches, size, size, settings, random);
      ASSERT_TRUE(unknown.ok()) << unknown.Reason();
      EXPECT_EQ(unknown->focal_source[0], FocalSource::kAssumed) << name << " " << seed;
      ASSERT_FALSE(f.empty());
      settings.known = {KnownFocal{f[0], FocalSource::kEntered},
                        KnownFocal{f[0], FocalSource::kEntered}};
      const Result<RenderOutcome> known = RenderMatches(matches, size, size, settings, random);
      ASSERT_TRUE(known.ok()) << known.Reason();
      const double error = RotationErrorDeg(known->Rcam, truth);
      std::printf("[ figures  ] %s seed %d known focal: rotation error %.3f deg\n", name,
                  static_cast<int>(seed), error);
      // The dino's 3300 px lens on 635 px images is nearly affine: reported, not held to 1 deg.
      if (std::string(name) == "temple_sr_07_08") {
        EXPECT_LT(error, 1.0) << seed;
      }
    }
  }
}

// The best any method can reach on the correct matches: the minimum of the reprojection
// cost reached by least squares started from the true motion and focal lengths. The cost
// holds t(3) at +-1, so the start with t(3) flipped is tried as well and the lower minimum
// kept (when the true forward component is small, the minimum can lie across t(3) = 0).
struct FocalPair {
  double f1 = 0, f2 = 0;
};

FocalPair MaximumLikelihood(const test::SyntheticScene& scene) {
  const auto rows = scene.CorrectRows();
  const Matrix m1 = test::SelectRows(scene.m1, rows), m2 = test::SelectRows(scene.m2, rows);
  const std::optional<Calibration> ml =
      RefineOnMatches(m1, m2, Calibration{scene.R, scene.t, scene.A1, scene.A2});
  EXPECT_TRUE(ml.has_value());
  if (!ml) return {scene.f1, scene.f2};
  return {-ml->A1(0, 0), -ml->A2(0, 0)};
}

double Relative(double value, double reference) { return std::abs(value / reference - 1); }


// Noisy scenes over a run of seeds: the search alone, the refined render and the maximum-
// likelihood estimate against the truth. Prints the figures of all three and returns on
// how many seeds the refined focal lengths are within 0.5 % of the maximum-likelihood ones or
// are said to be assumed (at most one seed in ten may be).
int MeasureNoisyScenes(double wrong_share, double wrong_min_px = 10, uint64_t first_seed = 1,
                       int seeds = 20) {
  int within = 0, assumed = 0;
  Spread ml_truth, search_ml, refined_ml, search_truth;
  for (uint64_t seed = first_seed; seed < first_seed + seeds; ++seed) {
    test::SceneOptions options;
    options.pixel_noise_sigma = 0.2;
    options.outlier_share = wrong_share;
    options.outlier_min_epipolar_px = wrong_min_px;
    options.seed = seed;
    const auto scene = test::MakeSyntheticScene(options);
    const FocalPair ml = MaximumLikelihood(scene);
    RenderSettings plain, refined;
    plain.refine = false;
    RandomSource random_plain(seed), random_refined(seed);
    const Result<RenderOutcome> a =
        RenderMatches(scene.PixelMatches(), Size1(scene), Size2(scene), plain, random_plain);
    const Result<RenderOutcome> b =
        RenderMatches(scene.PixelMatches(), Size1(scene), Size2(scene), refined, random_refined);
    EXPECT_TRUE(a.ok() && b.ok()) << "seed " << seed;
    if (!a.ok() || !b.ok()) continue;
    const FocalPair s{-a->A1(0, 0), -a->A2(0, 0)}, r{-b->A1(0, 0), -b->A2(0, 0)};
    // A seed whose matches leave a focal length undetermined must say so instead.
    if (b->focal_source[0] != FocalSource::kMeasured ||
        b->focal_source[1] != FocalSource::kMeasured) {
      ++assumed;
      continue;
    }
    if (Relative(r.f1, ml.f1) < 0.005 && Relative(r.f2, ml.f2) < 0.005) ++within;
    ml_truth.Add(std::max(Relative(ml.f1, scene.f1), Relative(ml.f2, scene.f2)));
    search_ml.Add(std::max(Relative(s.f1, ml.f1), Relative(s.f2, ml.f2)));
    search_truth.Add(std::max(Relative(s.f1, scene.f1), Relative(s.f2, scene.f2)));
    refined_ml.Add(std::max(Relative(r.f1, ml.f1), Relative(r.f2, ml.f2)));
  }
  std::printf(
      "[ figures  ] 0.2 px noise, %.0f%% wrong matches (>= %.0f px off), %d seeds, worse of f1/f2 "
      "relative error "
      "(median / max):\n"
      "             ML vs truth %.2f%% / %.2f%%; search vs ML %.2f%% / %.2f%%; search vs truth "
      "%.2f%% / %.2f%%; refined vs ML %.3f%% / %.3f%%\n",
      100 * wrong_share, wrong_min_px, seeds, 100 * ml_truth.Median(), 100 * ml_truth.Max(),
      100 * search_ml.Median(), 100 * search_ml.Max(), 100 * search_truth.Median(),
      100 * search_truth.Max(), 100 * refined_ml.Median(), 100 * refined_ml.Max());
  std::printf("             refined within 0.5%% of ML on %d of %d seeds, %d said assumed\n",
              within, seeds, assumed);
  EXPECT_LE(assumed, seeds / 10);
  return within + assumed;
}

TEST(RenderPipeline, NoisyScenesRefinementReachesMaximumLikelihood) {
  EXPECT_EQ(MeasureNoisyScenes(0), 20);
}

TEST(RenderPipeline, NoisyScenesWithWrongMatchesReachMaximumLikelihood) {
  EXPECT_EQ(MeasureNoisyScenes(0.2), 20);
}

// On some scenes a wrong match lies close to another geometry that explains the correct
// matches nearly as well (the focal lengths are weakly determined); the fit then cannot
// tell it from a correct one. This bound guards the measured share on unseen seeds.
TEST(RenderPipeline, NoisyScenesWithWrongMatchesOnHeldOutSeeds) {
  EXPECT_GE(MeasureNoisyScenes(0.2, 10, 21, 100), 97);
}

TEST(RenderPipeline, NoisyScenesWithClearlyWrongMatchesReachMaximumLikelihood) {
  EXPECT_EQ(MeasureNoisyScenes(0.2, 30), 20);
}

}  // namespace
}  // namespace q3d
