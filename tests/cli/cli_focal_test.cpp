// Focal lengths through the tool: photographs aimed at one point render with an assumed
// focal length and a warning, or with the one given on the command line, which the
// project keeps.
#include <Eigen/Geometry>
#include <algorithm>
#include <fstream>
#include <random>

#include "cli_test_support.h"
#include "project/project_doc.h"
#include "stereo/camera_focal.h"
#include "support/exif_jpeg.h"
#include "support/synthetic_face.h"

namespace q3d::test {
namespace {

class CliFocal : public CliTest {};

TEST_F(CliFocal, AimedPhotographsRenderAssumedWithAWarningOrWithTheGivenFocalLength) {
  const StereoScene aimed = MakeStereoScene(49, 3, true);
  const auto dir = Dir() / "aimed";
  std::filesystem::create_directories(dir);
  const SceneFiles files = WriteSceneFiles(aimed, 49, dir);
  const std::string project = File("aimed.qvp");
  ASSERT_EQ(Run({"new", "--image1", files.image1.string(), "--image2", files.image2.string(),
                 "--matches", files.matches.string(), "-o", project})
                .status,
            0);
  const CliRun assumed =
      Run({"render", project, "-o", File("assumed.qvp"), "--seed", "2", "--json"});
  ASSERT_EQ(assumed.status, 0) << assumed.err;
  EXPECT_NE(assumed.err.find("warning: the focal length of camera 1 is assumed, not measured"),
            std::string::npos)
      << assumed.err;
  const auto rendered = Json::Parse(assumed.out);
  ASSERT_TRUE(rendered);
  EXPECT_GT((*rendered)["render_seconds"].Number(), 0.0);
  const Json info = RunJson({"info", File("assumed.qvp")});
  EXPECT_EQ(info["images"][0]["focal_source"].String(), "assumed");
  EXPECT_EQ(info["images"][1]["focal_source"].String(), "assumed");

  const Json given = RunJson({"render", project, "-o", File("given.qvp"), "--seed", "2", "--focal",
                              std::to_string(aimed.focal_px)});
  EXPECT_NEAR(given["f1"].Number(), aimed.focal_px, 0.02 * aimed.focal_px);
  const Json kept = RunJson({"info", File("given.qvp")});
  EXPECT_EQ(kept["images"][0]["focal_source"].String(), "entered");
  EXPECT_NEAR(kept["images"][1]["focal_entered_px"].Number(), aimed.focal_px,
              1e-6 * aimed.focal_px);
}

// Natural captures: one phone, both photographs aimed at the face's centre, saved as JPEGs
// that carry the lens's 35 mm equivalent (rounded to a millimetre, as cameras write it).
// The tool reads it, fits the two as one camera and renders the face in shape; told they
// are two cameras, it fits two focal lengths and the project keeps that choice.
TEST_F(CliFocal, AimedJpegsWithTheirFocalLengthRenderTheFaceInShape) {
  std::vector<double> shape, focal_error, baseline_deg;
  for (const uint64_t seed : {1, 2, 3, 4}) {
    FaceSceneOptions options;
    options.aimAtOnePoint = true;
    options.focal2PerWidth = options.focal1PerWidth;  // one phone
    options.seed = seed;
    const FaceStereoPair face = RenderFaceStereoPair(options);
    const std::string stem = "aimed" + std::to_string(seed);
    ExifTags tags;
    tags.equivalent_mm =
        static_cast<int>(std::lround(Focal35mmFromPx(face.f1, options.width, options.height)));
    ASSERT_TRUE(WriteJpegWithExif(File(stem + "_1.jpg"), face.image1, tags));
    ASSERT_TRUE(WriteJpegWithExif(File(stem + "_2.jpg"), face.image2, tags));
    std::mt19937 random(static_cast<unsigned>(seed));
    std::normal_distribution<double> noise(0.0, 0.4);  // clicks on the dots
    std::ofstream csv(File(stem + ".csv"));
    csv << "x1,y1,x2,y2\n";
    for (size_t i = 0; i < face.dots1.size(); ++i)
      csv << face.dots1[i].x() + noise(random) << ',' << face.dots1[i].y() + noise(random) << ','
          << face.dots2[i].x() + noise(random) << ',' << face.dots2[i].y() + noise(random) << '\n';
    csv.close();
    const std::string project = File(stem + ".qvp");
    const CliRun created =
        Run({"new", "--image1", File(stem + "_1.jpg"), "--image2", File(stem + "_2.jpg"),
             "--matches", File(stem + ".csv"), "-o", project});
    ASSERT_EQ(created.status, 0) << created.err;
    const CliRun rendered = Run({"render", project, "--seed", std::to_string(seed)});
    ASSERT_EQ(rendered.status, 0) << rendered.err;
    EXPECT_EQ(rendered.err.find("warning"), std::string::npos) << rendered.err;
    const Json info = RunJson({"info", project});
    EXPECT_EQ(info["images"][0]["focal_source"].String(), "exif");
    EXPECT_EQ(info["images"][1]["focal_source"].String(), "exif");
    EXPECT_TRUE(info["one_camera"].Bool());
    EXPECT_EQ(info["f1"].Number(), info["f2"].Number());
    focal_error.push_back(100 * std::abs(info["f1"].Number() / face.f1 - 1));

    // Shape: the dots' RMS distance from the truth after the best similarity alignment.
    CProjectDoc doc;
    ASSERT_TRUE(doc.LoadProject(project).ok());
    const auto n = static_cast<Eigen::Index>(face.dots3d.size());
    Eigen::Matrix3Xd model(3, n), truth(3, n);
    for (Eigen::Index i = 0; i < n; ++i) {
      model.col(i) = doc.m_stereoPair.m_XW.row(i).transpose();
      truth.col(i) = face.dots3d[static_cast<size_t>(i)];
    }
    const Vector3 baseline = doc.m_stereoPair.m_t;
    baseline_deg.push_back(
        std::acos(std::clamp(baseline.normalized().dot(face.t.normalized()), -1.0, 1.0)) * 180 /
        M_PI);
    const Eigen::Matrix4d align = Eigen::umeyama(model, truth, true);
    const Eigen::Matrix3Xd aligned = (align * model.colwise().homogeneous()).topRows(3);
    const double rms = std::sqrt((aligned - truth).colwise().squaredNorm().mean());
    shape.push_back(100 * rms / (0.15 * face.unitsPerMetre));
  }
  const auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return (v[1] + v[2]) / 2;
  };
  std::printf(
      "[ figures  ] aimed JPEGs with EXIF: shape RMS %.3f %% median, %.3f %% worst; focal "
      "error %.2f %% median; baseline direction %.2f deg median\n",
      median(shape), *std::max_element(shape.begin(), shape.end()), median(focal_error),
      median(baseline_deg));
  EXPECT_LE(median(shape), 0.65);
  EXPECT_LE(*std::max_element(shape.begin(), shape.end()), 1.1);
  EXPECT_LE(median(focal_error), 1.5);
  EXPECT_LE(median(baseline_deg), 1.0);

  const std::string project = File("aimed1.qvp");
  ASSERT_EQ(Run({"render", project, "--force", "--separate-cameras"}).status, 0);
  const Json separate = RunJson({"info", project});
  EXPECT_FALSE(separate["one_camera"].Bool());
  EXPECT_EQ(separate["camera_choice"].String(), "separate");
  EXPECT_NE(separate["f1"].Number(), separate["f2"].Number());
}

}  // namespace
}  // namespace q3d::test
