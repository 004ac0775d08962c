// The image part shared by the panes, exercised through a camera view.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPalette>

#include "views/camera_view.h"
#include "views/command_ids.h"
#include "views_test_support.h"

namespace q3d {
namespace {

using test::Drag;
using test::LoadSyntheticImage;
using test::SendMouse;

class ImageViewTest : public ::testing::Test {
 protected:
  void Show(int imageWidth, int imageHeight, int paneWidth, int paneHeight) {
    LoadSyntheticImage(doc.m_camera1, imageWidth, imageHeight);
    view.resize(paneWidth, paneHeight);
    view.show();
    view.AttachDocument(&doc);
    view.RenderFrame();  // as the first paint does: margins and scroll limits
  }
  QRgb PixelAt(int x, int y) { return view.RenderFrame().pixel(x, y); }

  CProjectDoc doc;
  CCameraView view{0};
};

TEST_F(ImageViewTest, ZoomStepsToMultiplesOfAQuarterWithinTheLimits) {
  Show(2000, 1000, 600, 400);
  view.FitToWindow();
  ASSERT_DOUBLE_EQ(view.Zoom(), 0.3);
  view.ZoomIn();
  EXPECT_DOUBLE_EQ(view.Zoom(), 0.5);
  view.FitToWindow();
  view.ZoomOut();
  EXPECT_DOUBLE_EQ(view.Zoom(), 0.25);
  view.ZoomOut();
  EXPECT_DOUBLE_EQ(view.Zoom(), 0.25);
  CommandState state;
  ASSERT_TRUE(view.OnUpdateCommand(cmd::kZoomOut, state));
  EXPECT_FALSE(state.enabled);

  doc.UpdateAllViews(nullptr, kHintImage1Replaced);  // back to 1.0
  ASSERT_DOUBLE_EQ(view.Zoom(), 1.0);
  view.ZoomIn();
  EXPECT_DOUBLE_EQ(view.Zoom(), 1.25);
  for (int i = 0; i < 80; ++i) view.ZoomIn();
  EXPECT_DOUBLE_EQ(view.Zoom(), 16.0);
  ASSERT_TRUE(view.OnUpdateCommand(cmd::kZoomIn, state));
  EXPECT_FALSE(state.enabled);
  EXPECT_EQ(view.Caption(), "Image 1 - 2000 x 1000 - [1600%]");
}

TEST_F(ImageViewTest, FitToWindowMayLeaveTheRangeUntilTheNextZoomStep) {
  Show(12000, 100, 600, 400);
  view.FitToWindow();
  EXPECT_DOUBLE_EQ(view.Zoom(), 0.05);
  view.ZoomIn();
  EXPECT_DOUBLE_EQ(view.Zoom(), 0.25);
}

TEST_F(ImageViewTest, SmallImageIsCentredInAOnePixelFrame) {
  Show(100, 80, 600, 400);
  const QRgb background = QApplication::palette().color(QPalette::Button).rgb();
  EXPECT_EQ(view.MarginX(), 250);
  EXPECT_EQ(view.MarginY(), 160);
  EXPECT_EQ(view.ScrollX(), 0);
  EXPECT_EQ(view.ScrollY(), 0);
  EXPECT_EQ(PixelAt(249, 200), qRgb(0, 0, 0));
  EXPECT_EQ(PixelAt(350, 200), qRgb(0, 0, 0));
  EXPECT_EQ(PixelAt(300, 159), qRgb(0, 0, 0));
  EXPECT_EQ(PixelAt(248, 170), background);  // clear of the region's sizing handles
  EXPECT_EQ(PixelAt(10, 10), background);
  const cv::Vec3b inside = doc.m_camera1.m_image.Mat().at<cv::Vec3b>(2, 3);
  EXPECT_EQ(PixelAt(253, 162), qRgb(inside[2], inside[1], inside[0]));
}

TEST_F(ImageViewTest, ResizingKeepsTheCentreOfThePane) {
  Show(4000, 3000, 200, 100);
  view.resize(800, 600);
  view.RenderFrame();
  EXPECT_EQ(view.PaneToImage(QPoint(400, 300)), QPoint(2000, 1500));
}

TEST_F(ImageViewTest, PanToolFollowsThePointerButNotOnTheFirstMove) {
  Show(2000, 1500, 400, 300);
  ASSERT_TRUE(view.OnCommand(cmd::kToolPan));
  view.RenderFrame();
  const int x0 = view.ScrollX();
  const int y0 = view.ScrollY();
  SendMouse(&view, QEvent::MouseButtonPress, {200, 150}, Qt::LeftButton, Qt::LeftButton);
  SendMouse(&view, QEvent::MouseMove, {200, 150}, Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(view.ScrollX(), x0);
  EXPECT_EQ(view.ScrollY(), y0);
  SendMouse(&view, QEvent::MouseMove, {190, 130}, Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(view.ScrollX(), x0 + 10);
  EXPECT_EQ(view.ScrollY(), y0 + 20);
  EXPECT_TRUE(view.IsToolLocked());
}

TEST_F(ImageViewTest, ZoomToolDraggingDownEnlarges) {
  Show(2000, 1500, 400, 300);
  ASSERT_TRUE(view.OnCommand(cmd::kToolZoom));
  Drag(&view, {200, 100}, {200, 200});
  EXPECT_NEAR(view.Zoom(), 1.0 + 0.005 * 100, 1e-9);
  Drag(&view, {200, 200}, {200, 0});
  EXPECT_NEAR(view.Zoom(), 0.5, 1e-9);
}

TEST_F(ImageViewTest, RoiRubberBandSetsTheRegionOnlyInsideTheImage) {
  Show(100, 80, 600, 400);  // image at pane (250, 160)
  test::HintRecorder hints(doc);
  ASSERT_TRUE(view.OnCommand(cmd::kToolRoi));
  SendMouse(&view, QEvent::MouseMove, {247, 157}, Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(view.cursor().shape(), Qt::SizeFDiagCursor);  // over the top-left handle
  SendMouse(&view, QEvent::MouseMove, {300, 157}, Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(view.cursor().shape(), Qt::SizeVerCursor);
  SendMouse(&view, QEvent::MouseMove, {300, 200}, Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(view.cursor().shape(), Qt::ArrowCursor);
  Drag(&view, {10, 10}, {120, 100});
  EXPECT_EQ(doc.m_camera1.m_roi, MakeRoi(0, 0, 0, 100, 80));
  EXPECT_TRUE(hints.hints.empty());

  Drag(&view, {300, 200}, {260, 170});  // drawn up and left
  EXPECT_EQ(doc.m_camera1.m_roi, MakeRoi(0, 10, 10, 40, 30));
  EXPECT_EQ(hints.hints, std::vector<int>{kHintImage1Settings});

  Drag(&view, {330, 220}, {500, 390});  // clipped to the image
  EXPECT_EQ(doc.m_camera1.m_roi, MakeRoi(0, 80, 60, 20, 20));
}

TEST_F(ImageViewTest, RoiIsTintedBlueOnlyWhileItIsNotTheWholeImage) {
  Show(100, 80, 600, 400);
  const QRgb inside = PixelAt(270, 180);
  const QRgb outside = PixelAt(340, 230);
  doc.m_camera1.m_roi = MakeRoi(0, 10, 10, 40, 30);
  EXPECT_EQ(PixelAt(270, 180), qRgb(qRed(inside), qGreen(inside), std::min(qBlue(inside) + 30, 255)));
  EXPECT_EQ(PixelAt(340, 230), outside);
  doc.m_camera1.m_roi = MakeRoi(0, 0, 0, 100, 80);
  EXPECT_EQ(PixelAt(270, 180), inside);
}

TEST_F(ImageViewTest, HeldKeysChooseTheToolUnlessOneIsLockedOnTheToolbar) {
  Show(800, 600, 400, 300);
  test::PressKey(&view, Qt::Key_Space);
  EXPECT_EQ(view.CurrentToolMode(), kToolPan);
  SendMouse(&view, QEvent::MouseMove, {100, 100}, Qt::NoButton, Qt::NoButton, Qt::ControlModifier);
  EXPECT_EQ(view.CurrentToolMode(), kToolZoom);
  SendMouse(&view, QEvent::MouseMove, {101, 100}, Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(view.CurrentToolMode(), kToolArrow);
  ASSERT_TRUE(view.OnCommand(cmd::kToolRoi));
  SendMouse(&view, QEvent::MouseMove, {102, 100}, Qt::NoButton, Qt::NoButton, Qt::ControlModifier);
  EXPECT_EQ(view.CurrentToolMode(), kToolRoi);
  CommandState state;
  ASSERT_TRUE(view.OnUpdateCommand(cmd::kToolRoi, state));
  EXPECT_TRUE(state.checked);
}

}  // namespace
}  // namespace q3d
