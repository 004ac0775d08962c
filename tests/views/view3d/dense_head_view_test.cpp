// The dense surface of the photographed real head in the 3D view, shaded without its texture,
// from the front and turned to the side (screenshots beside the test program, to be looked at
// beside the scan): no hole may show through it.
#include <gtest/gtest.h>

#include <QImage>
#include <QTest>
#include <opencv2/imgproc.hpp>

#include "project/project_doc.h"
#include "support/headscan.h"
#include "support/real_data.h"
#include "views/command_ids.h"
#include "views/vrml_view.h"

namespace q3d {
namespace {

// Patches of background that the drawn surface encloses: holes seen through it.
int EnclosedBackgroundPatches(const QImage& image) {
  cv::Mat background(image.height(), image.width(), CV_8U);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      background.at<uint8_t>(y, x) = (image.pixel(x, y) & 0xFFFFFF) == 0 ? 255 : 0;
  cv::Mat labels;
  const int count = cv::connectedComponents(background, labels, 4, CV_32S);
  std::vector<bool> touchesBorder(static_cast<size_t>(count), false);
  for (int y = 0; y < labels.rows; ++y)
    for (int x = 0; x < labels.cols; ++x)
      if (x == 0 || y == 0 || x == labels.cols - 1 || y == labels.rows - 1)
        touchesBorder[static_cast<size_t>(labels.at<int>(y, x))] = true;
  int enclosed = 0;
  for (int label = 1; label < count; ++label)
    enclosed += !touchesBorder[static_cast<size_t>(label)];
  return enclosed;
}

TEST(DenseHeadView, ShadedFromTheFrontAndTheSideShowsNoHole) {
  for (const char* name : {"head01", "head04"}) {
    Q3D_REQUIRE_REAL_DATA(test::HeadscanDir(name) / "image1.jpg");
    CProjectDoc doc;
    ASSERT_TRUE(test::MakeHeadscanProject(test::HeadscanDir(name), doc));
    CVRMLView view;
    view.resize(800, 800);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.AttachDocument(&doc);
    ASSERT_TRUE(view.OnCommand(cmd::kDenseMesh));
    ASSERT_TRUE(view.OnCommand(cmd::kTextureOn));  // off: shaded grey
    auto grab = [&view] { return view.grabFramebuffer().convertToFormat(QImage::Format_RGB32); };
    const QString shot = QString::fromUtf8(Q3D_VIEW3D_SHOT_DIR) + "/dense_" + name;
    const QImage front = grab();
    front.save(shot + "_front_plain.png");
    // Two drags of 50 pixels turn the head by about 40 degrees.
    view.HandleMouseMove(400, 400, false, false, false);
    for (int k = 1; k <= 2; ++k) view.HandleMouseMove(400 - 50 * k, 400, true, false, false);
    const QImage side = grab();
    side.save(shot + "_side_plain.png");
    EXPECT_EQ(EnclosedBackgroundPatches(front), 0) << name << " from the front";
    EXPECT_EQ(EnclosedBackgroundPatches(side), 0) << name << " from the side";
  }
}

}  // namespace
}  // namespace q3d
