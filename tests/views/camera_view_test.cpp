#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QSpinBox>
#include <QTimer>
#include <array>
#include <cmath>

#include "views/camera_view.h"
#include "views/command_ids.h"
#include "support/status_assertions.h"
#include "views/dot_centring_setting.h"
#include "views/fixed_roi_dialog.h"
#include "views_test_support.h"

namespace q3d {
namespace {

using test::Click;
using test::Drag;
using test::LoadSyntheticImage;
using test::PressKey;

// Two 400 x 300 images in two 400 x 300 panes: at zoom 1 a pane pixel is an image pixel.
class CameraViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LoadSyntheticImage(doc.m_camera1, 400, 300);
    LoadSyntheticImage(doc.m_camera2, 400, 300);
    for (CCameraView* v : {&view1, &view2}) {
      v->resize(400, 300);
      v->show();
      v->AttachDocument(&doc);
    }
    ASSERT_EQ(view1.MarginX(), 0);
    ASSERT_EQ(view1.ScrollX(), 0);
  }
  CommandState State(CCameraView& view, int id) {
    CommandState state;
    EXPECT_TRUE(view.OnUpdateCommand(id, state));
    return state;
  }
  void AddMatch(double x1, double y1, double x2, double y2) {
    ASSERT_TRUE(test::Succeeded(doc.AddMatch(x1, y1, x2, y2)));
  }
  CSpPoint& Point(int camera, int index) {
    auto it = doc.Camera(camera).m_points.Points().begin();
    std::advance(it, index);
    return **it;
  }

  CProjectDoc doc;
  CCameraView view1{0};
  CCameraView view2{1};
};

TEST_F(CameraViewTest, ManualMatchingSessionPairsClicksInBothImages) {
  test::HintRecorder hints(doc);
  ASSERT_TRUE(State(view1, cmd::kManualMatching).enabled);
  ASSERT_TRUE(view1.OnCommand(cmd::kManualMatching));
  EXPECT_EQ(hints.hints, (std::vector<int>{kHintPointsChanged, kHintManualMatchingStarted}));
  EXPECT_TRUE(view1.IsMatching());
  EXPECT_TRUE(view2.IsMatching());
  EXPECT_TRUE(State(view2, cmd::kManualMatching).checked);

  // Image 1 first: the point waits, further clicks in image 1 are ignored.
  hints.hints.clear();
  Click(&view1, {50, 60});
  EXPECT_EQ(hints.hints, (std::vector<int>{kHintPointsChanged, kHintRebuildModel}));
  Click(&view1, {70, 80});
  ASSERT_EQ(doc.m_camera1.m_points.Count(), 1);
  EXPECT_EQ(Point(0, 0).m_selected, 1);
  EXPECT_EQ(view1.cursor().shape(), Qt::BitmapCursor);  // waiting for the partner
  EXPECT_EQ(view2.cursor().shape(), Qt::CrossCursor);
  EXPECT_FALSE(doc.IsModified());
  Click(&view2, {55, 62});
  ASSERT_EQ(doc.m_stereoPair.m_matches.Count(), 1);
  EXPECT_TRUE(doc.IsModified());

  // Image 2 first: the match still holds camera 1's point first.
  Click(&view2, {100, 110});
  Click(&view1, {90, 95});
  ASSERT_EQ(doc.m_stereoPair.m_matches.Count(), 2);
  const auto& matches = doc.m_stereoPair.m_matches.Matches();
  const CMatch& first = *matches.front();
  const CMatch& second = *matches.back();
  EXPECT_EQ(first.m_id, 0);
  EXPECT_EQ(second.m_id, 1);
  EXPECT_EQ(first.m_point1, &Point(0, 0));
  EXPECT_EQ(first.m_point1->m_x, 50);
  EXPECT_EQ(first.m_point2->m_y, 62);
  EXPECT_EQ(second.m_point1->m_x, 90);
  EXPECT_EQ(second.m_point2->m_x, 100);
  EXPECT_EQ(doc.m_camera1.m_points.CountSelected(1), 0);
  EXPECT_EQ(doc.m_camera2.m_points.CountSelected(1), 0);
  EXPECT_EQ(view1.cursor().shape(), Qt::CrossCursor);

  // Undo takes the match back and leaves image 2's point waiting for its partner again.
  EXPECT_EQ(doc.m_history.UndoName(), "Add Match");
  doc.m_history.Undo();
  EXPECT_EQ(doc.m_stereoPair.m_matches.Count(), 1);
  EXPECT_EQ(doc.m_camera1.m_points.Count(), 1);
  EXPECT_EQ(doc.m_camera2.m_points.m_list.back()->m_selected, 1);
  EXPECT_EQ(view1.cursor().shape(), Qt::CrossCursor);
  doc.m_history.Redo();
  ASSERT_EQ(doc.m_stereoPair.m_matches.Count(), 2);
  EXPECT_EQ(doc.m_camera2.m_points.CountSelected(1), 0);

  // Point editing is unavailable while matching.
  EXPECT_FALSE(State(view1, cmd::kSelectAll).enabled);
  EXPECT_FALSE(State(view1, cmd::kInvertSelection).enabled);

  // Esc drops the waiting point.
  Click(&view1, {10, 10});
  ASSERT_EQ(doc.m_camera1.m_points.Count(), 3);
  PressKey(&view1, Qt::Key_Escape);
  EXPECT_EQ(doc.m_camera1.m_points.Count(), 2);

  // Leaving the mode removes the point still without a partner.
  Click(&view2, {20, 20});
  ASSERT_EQ(doc.m_camera2.m_points.Count(), 3);
  hints.hints.clear();
  ASSERT_TRUE(view2.OnCommand(cmd::kManualMatching));
  EXPECT_EQ(hints.hints, (std::vector<int>{kHintManualMatchingEnded, kHintPointsChanged}));
  EXPECT_EQ(doc.m_camera2.m_points.Count(), 2);
  EXPECT_EQ(doc.m_stereoPair.m_matches.Count(), 2);
  EXPECT_FALSE(view1.IsMatching());
  EXPECT_EQ(view1.cursor().shape(), Qt::ArrowCursor);
}

TEST_F(CameraViewTest, ShiftClickPlacesThePointOnTheMarkerCentre) {
  LoadSyntheticImage(doc.m_camera1, 400, 300, {{120, 80}});
  ASSERT_TRUE(view1.OnCommand(cmd::kManualMatching));
  Click(&view1, {123, 82}, Qt::ShiftModifier);
  ASSERT_EQ(doc.m_camera1.m_points.Count(), 1);
  EXPECT_NEAR(Point(0, 0).m_x, 120.0, 0.5);
  EXPECT_NEAR(Point(0, 0).m_y, 80.0, 0.5);
  EXPECT_EQ(Point(0, 0).m_selected, 1);
  // On bright skin the detector finds no marker: no point, the pending state unchanged.
  Click(&view2, {200, 200}, Qt::ShiftModifier);
  EXPECT_EQ(doc.m_camera2.m_points.Count(), 0);
  Click(&view2, {200, 200});
  EXPECT_EQ(doc.m_stereoPair.m_matches.Count(), 1);

  // The point sits at the precise centre; with the setting off, at the detector's circle.
  std::optional<cv::Point2d> precise, plain;
  ASSERT_EQ(doc.m_camera1.FindDotCentre(123, 82, DotCentring::kPrecise, precise), 1);
  ASSERT_EQ(doc.m_camera1.FindDotCentre(123, 82, DotCentring::kPlain, plain), 1);
  ASSERT_TRUE(precise && plain);
  EXPECT_EQ(Point(0, 0).m_x, precise->x);
  SetDotCentringSetting(DotCentring::kPlain);
  Click(&view1, {123, 82}, Qt::ShiftModifier);
  SetDotCentringSetting(DotCentring::kPrecise);
  ASSERT_EQ(doc.m_camera1.m_points.Count(), 2);
  EXPECT_EQ(Point(0, 1).m_x, plain->x);
  EXPECT_NE(plain->x, precise->x);
}

TEST_F(CameraViewTest, ClicksOutsideTheImageOrWithoutTheModePlaceNothing) {
  Click(&view1, {50, 60});
  EXPECT_EQ(doc.m_camera1.m_points.Count(), 0);
  ASSERT_TRUE(view1.OnCommand(cmd::kManualMatching));
  view1.ZoomOut();  // the image now floats in the pane with a margin
  view1.RenderFrame();
  ASSERT_GT(view1.MarginX(), 0);
  Click(&view1, {2, 2});
  EXPECT_EQ(doc.m_camera1.m_points.Count(), 0);
}

TEST_F(CameraViewTest, AViewCreatedDuringMatchingJoinsTheMode) {
  ASSERT_TRUE(view1.OnCommand(cmd::kManualMatching));
  CCameraView late(1);
  late.resize(400, 300);
  late.AttachDocument(&doc);
  EXPECT_TRUE(late.IsMatching());
  EXPECT_TRUE(late.OnCommand(cmd::kManualMatching));
  EXPECT_FALSE(view1.IsMatching());
}

TEST_F(CameraViewTest, ClickSelectsTheNearestPointWithinFivePixelsAndItsPartner) {
  AddMatch(100, 100, 120, 100);
  AddMatch(200, 150, 220, 150);
  Click(&view1, {104, 103});  // distance 5
  EXPECT_EQ(Point(0, 0).m_selected, 1);
  EXPECT_EQ(Point(1, 0).m_selected, 1);  // copied across the match
  Click(&view1, {200, 156}, Qt::ShiftModifier);  // 6 away: nothing added
  EXPECT_EQ(doc.m_camera1.m_points.CountSelected(1), 1);
  Click(&view1, {201, 152}, Qt::ShiftModifier);
  EXPECT_EQ(doc.m_camera1.m_points.CountSelected(1), 2);
  Click(&view1, {300, 50});  // a miss deselects everything
  EXPECT_EQ(doc.m_camera1.m_points.CountSelected(1), 0);
  EXPECT_EQ(doc.m_camera2.m_points.CountSelected(1), 0);

  view2.ZoomIn();
  view2.ZoomIn();  // zoom 1.5: the reach shrinks to 5 / 1.5 image pixels
  view2.RenderFrame();
  const QPoint pane = view2.ImageToPane(QPoint(220, 150));
  Click(&view2, pane + QPoint(6, 0));  // 4 image pixels
  EXPECT_EQ(Point(1, 1).m_selected, 0);
  Click(&view2, pane + QPoint(4, 0));
  EXPECT_EQ(Point(1, 1).m_selected, 1);
  EXPECT_EQ(Point(0, 1).m_selected, 1);
}

TEST_F(CameraViewTest, RubberBandSelectsThePointsInside) {
  AddMatch(100, 100, 120, 100);
  AddMatch(150, 120, 170, 120);
  AddMatch(300, 250, 320, 250);
  test::HintRecorder hints(doc);
  Drag(&view1, {160, 200}, {90, 90});
  EXPECT_EQ(Point(0, 0).m_selected, 1);
  EXPECT_EQ(Point(0, 1).m_selected, 1);
  EXPECT_EQ(Point(0, 2).m_selected, 0);
  EXPECT_EQ(doc.m_camera2.m_points.CountSelected(1), 2);
  EXPECT_EQ(hints.hints, std::vector<int>{kHintPointsChanged});
}

TEST_F(CameraViewTest, DeleteRemovesMatchesOfSelectedPointsThenThePoints) {
  AddMatch(100, 100, 120, 100);
  AddMatch(150, 120, 170, 120);
  ASSERT_TRUE(doc.m_camera2.m_points.Add(std::make_unique<CSpPoint>(5.0, 5.0)));
  EXPECT_FALSE(State(view1, cmd::kDelete).enabled);
  Click(&view1, {150, 120});
  ASSERT_TRUE(State(view1, cmd::kDelete).enabled);
  ASSERT_TRUE(view1.OnCommand(cmd::kDelete));
  EXPECT_EQ(doc.m_stereoPair.m_matches.Count(), 1);
  EXPECT_EQ(doc.m_camera1.m_points.Count(), 1);
  EXPECT_EQ(doc.m_camera2.m_points.Count(), 2);  // the partner went, the loose point stays
  const CMatch& left = *doc.m_stereoPair.m_matches.Matches().front();
  EXPECT_EQ(left.m_point1, &Point(0, 0));
  EXPECT_EQ(left.m_point2, &Point(1, 0));
  EXPECT_TRUE(doc.IsModified());
}

TEST_F(CameraViewTest, SelectAllAndInvertCopyTheSelectionToTheOtherImage) {
  AddMatch(100, 100, 120, 100);
  AddMatch(150, 120, 170, 120);
  ASSERT_TRUE(view2.OnCommand(cmd::kSelectAll));
  EXPECT_EQ(doc.m_camera1.m_points.CountSelected(1), 2);
  Click(&view2, {120, 100});
  ASSERT_TRUE(view2.OnCommand(cmd::kInvertSelection));
  EXPECT_EQ(Point(0, 0).m_selected, 0);
  EXPECT_EQ(Point(0, 1).m_selected, 1);
}

TEST_F(CameraViewTest, ArrowKeysMoveTheSelectedPointOnlyAfterARender) {
  AddMatch(100, 100, 120, 100);
  Click(&view1, {100, 100});
  doc.SetModifiedFlag(false);
  PressKey(&view1, Qt::Key_Right);
  EXPECT_EQ(Point(0, 0).m_x, 100);
  EXPECT_FALSE(doc.IsModified());
  doc.m_stereoPair.m_rendered = 1;
  test::HintRecorder hints(doc);
  PressKey(&view1, Qt::Key_Right);
  PressKey(&view1, Qt::Key_Up);
  EXPECT_EQ(Point(0, 0).m_x, 101);
  EXPECT_EQ(Point(0, 0).m_y, 99);
  EXPECT_TRUE(doc.IsModified());
  EXPECT_EQ(hints.hints, (std::vector<int>{3, 8, 3, 8}));
}

TEST_F(CameraViewTest, EpipolarLineOfTheOnlySelectedPointOfTheOtherImage) {
  AddMatch(100, 100, 120, 140);
  AddMatch(150, 120, 170, 160);
  // Rectified pair: the line of a point is its own row (F relates 1-based pixels).
  doc.m_stereoPair.m_F = Matrix::Zero(3, 3);
  doc.m_stereoPair.m_F(1, 2) = -1.0;
  doc.m_stereoPair.m_F(2, 1) = 1.0;
  Point(1, 0).m_selected = 1;
  view1.RenderFrame();
  EXPECT_FALSE(view1.DrawnEpipolarLine());  // not rendered yet
  doc.m_stereoPair.m_rendered = 1;
  view1.RenderFrame();
  ASSERT_TRUE(view1.DrawnEpipolarLine());
  const EpipolarLine line = *view1.DrawnEpipolarLine();
  EXPECT_EQ(line.y1, 140);
  EXPECT_EQ(line.y2, 140);
  EXPECT_EQ(line.x1, 0);
  EXPECT_EQ(line.x2, 400);
  // The other direction uses the transpose.
  Point(0, 1).m_selected = 1;
  view2.RenderFrame();
  ASSERT_TRUE(view2.DrawnEpipolarLine());
  EXPECT_EQ(view2.DrawnEpipolarLine()->y1, 120);
  // Two selected points: no line.
  Point(1, 1).m_selected = 1;
  view1.RenderFrame();
  EXPECT_FALSE(view1.DrawnEpipolarLine());
}

TEST(EpipolarClipping, EntersByTheLeftTopOrRightEdge) {
  struct Case {
    double slope, intercept;
    int x1, y1, x2, y2;
  };
  const Case cases[] = {
      {0.5, 10, 0, 10, 100, 60},    // left to right
      {2.0, 10, 0, 10, 35, 80},     // left to bottom
      {-0.5, 30, 0, 30, 60, 0},     // left to top
      {1.0, -20, 20, 0, 100, 80},   // top to bottom
      {0.5, -20, 40, 0, 100, 30},   // top to right
      {0.0, 40, 0, 40, 100, 40},    // horizontal
      {-1.0, 200, 100, 100, 120, 80},  // misses the image: right and bottom lines
  };
  for (const Case& c : cases) {
    EpipolarLine line;
    line.slope = c.slope;
    line.intercept = c.intercept;
    ASSERT_TRUE(ClipEpipolarLine(line, 100, 80)) << c.slope << " " << c.intercept;
    EXPECT_EQ((std::array{line.x1, line.y1, line.x2, line.y2}), (std::array{c.x1, c.y1, c.x2, c.y2}))
        << c.slope << " " << c.intercept;
  }
  EpipolarLine bad;
  bad.slope = std::nan("");
  EXPECT_FALSE(ClipEpipolarLine(bad, 100, 80));
  bad.slope = 0.0;
  bad.intercept = 500.0;  // horizontal, below the image: no end on any edge
  EXPECT_FALSE(ClipEpipolarLine(bad, 100, 80));
}

// Runs when the dialog is up: sets its values and accepts it.
void AnswerFixedRoiDialog(int width, int height, bool sameAsOther) {
  QTimer::singleShot(0, [=] {
    auto* dialog = qobject_cast<CFixedRoiDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialog->WidthEdit()->setValue(width);
    dialog->HeightEdit()->setValue(height);
    dialog->SameAsOtherBox()->setChecked(sameAsOther);
    EXPECT_EQ(dialog->WidthEdit()->isEnabled(), !sameAsOther);
    dialog->accept();
  });
}

TEST_F(CameraViewTest, FixedSizeRoiIsClippedToTheImage) {
  test::HintRecorder hints(doc);
  AnswerFixedRoiDialog(20, 5000, false);
  ASSERT_TRUE(view2.OnCommand(cmd::kRoiFixedSize));
  EXPECT_EQ(doc.m_camera2.m_roi, MakeRoi(0, 0, 0, 20, 300));
  EXPECT_EQ(hints.hints, std::vector<int>{kHintImage2Settings});

  doc.m_camera2.m_roi = MakeRoi(0, 350, 10, 100, 50);
  AnswerFixedRoiDialog(10, 10, true);
  LoadSyntheticImage(doc.m_camera1, 380, 300);
  ASSERT_TRUE(view1.OnCommand(cmd::kRoiFixedSize));
  EXPECT_EQ(doc.m_camera1.m_roi, MakeRoi(0, 350, 10, 30, 50));

  ASSERT_TRUE(view1.OnCommand(cmd::kRoiWholeImage));
  EXPECT_EQ(doc.m_camera1.m_roi, MakeRoi(0, 0, 0, 380, 300));
}

TEST_F(CameraViewTest, DisplayCommandsFollowTheirRules) {
  EXPECT_FALSE(State(view1, cmd::kShowPoints).enabled);
  EXPECT_FALSE(State(view1, cmd::kShowVectors).enabled);
  AddMatch(100, 100, 120, 100);
  EXPECT_TRUE(State(view1, cmd::kShowPointIds).enabled);
  ASSERT_TRUE(view1.OnCommand(cmd::kShowPoints));
  EXPECT_FALSE(State(view1, cmd::kShowPointIds).enabled);
  EXPECT_TRUE(State(view1, cmd::kFullColor).checked);
  ASSERT_TRUE(view1.OnCommand(cmd::kGrayscale));
  EXPECT_TRUE(State(view1, cmd::kGrayscale).checked);
  EXPECT_EQ(view1.ShownImage(), &doc.m_camera1.m_gray);
  EXPECT_FALSE(view1.OnCommand(cmd::kBlur));  // the texture's command

  CCameraView empty(0);
  CProjectDoc blank;
  empty.AttachDocument(&blank);
  EXPECT_EQ(empty.Caption(), "Image 1");
  CommandState state;
  ASSERT_TRUE(empty.OnUpdateCommand(cmd::kFitToWindow, state));
  EXPECT_FALSE(state.enabled);
  ASSERT_TRUE(empty.OnUpdateCommand(cmd::kManualMatching, state));
  EXPECT_FALSE(state.enabled);
}

TEST_F(CameraViewTest, DrawsPointsNumbersAndVectorsOverTheImage) {
  AddMatch(100, 100, 120, 104);
  AddMatch(150, 120, 166, 128);
  AddMatch(60, 200, 80, 190);
  Click(&view1, {150, 120});
  ASSERT_TRUE(view1.OnCommand(cmd::kShowVectors));
  view1.ZoomIn();
  view1.ZoomIn();
  view1.ZoomIn();
  view1.ZoomIn();  // 2.0: numbers shown
  view1.CentreOn(110, 140);
  const QImage frame = view1.RenderFrame();
  // The selected point's cross is red at its centre, another's green.
  const QPoint selected = view1.ImageToPane(QPoint(150, 120));
  const QPoint plain = view1.ImageToPane(QPoint(100, 100));
  EXPECT_GT(qRed(frame.pixel(selected + QPoint(1, 1))), 200);
  EXPECT_GT(qGreen(frame.pixel(plain + QPoint(1, 1))), 200);
  // A blue vector from the plain point towards its partner.
  const QPoint along = view1.ImageToPane(QPoint(110, 102));
  EXPECT_EQ(frame.pixel(along), qRgb(0, 0, 255));
  // Match numbers (green for an unselected point) only above zoom 1.
  auto greenTextPixels = [&](const QImage& image) {
    const QPoint at = view1.ImageToPane(QPoint(100, 100)) + QPoint(8, -7);
    int count = 0;
    for (int y = at.y(); y < at.y() + 10; ++y)
      for (int x = at.x(); x < at.x() + 8; ++x) {
        const QRgb p = image.pixel(x, y);
        count += qGreen(p) > 150 && qRed(p) < 100 && qBlue(p) < 100;
      }
    return count;
  };
  EXPECT_GT(greenTextPixels(frame), 0);
  const std::string path = test::SaveScreenshot(&view1, "camera_view.png");
  view1.ZoomOut();
  view1.ZoomOut();
  view1.ZoomOut();
  view1.ZoomOut();
  ASSERT_DOUBLE_EQ(view1.Zoom(), 1.0);
  view1.CentreOn(110, 140);
  EXPECT_EQ(greenTextPixels(view1.RenderFrame()), 0);
  EXPECT_FALSE(QImage(QString::fromStdString(path)).isNull());
}

}  // namespace
}  // namespace q3d

namespace q3d {
namespace {

TEST(CameraViewSample, ScreenshotOfTheSampleFaceProject) {
  CProjectDoc doc;
  ASSERT_TRUE(doc.LoadProject(Q3D_SAMPLES_DIR "/face/sample.qvp")) << "the bundled sample does not load";
  ASSERT_GT(doc.m_stereoPair.m_matches.Count(), 0);
  CCameraView view(0);
  view.resize(800, 600);
  view.show();
  view.AttachDocument(&doc);
  ASSERT_TRUE(view.OnCommand(cmd::kShowVectors));
  view.FitToWindow();
  for (int i = 0; i < 3; ++i) view.ZoomIn();
  view.CentreOn(doc.m_camera1.Width() / 2, doc.m_camera1.Height() / 2);
  const QImage frame = view.RenderFrame();
  // Every visible point carries its marker.
  int markers = 0;
  for (const auto& point : doc.m_camera1.m_points.Points()) {
    const QPoint pane = view.ImageToPane(QPoint(RoundHalf(point->m_x), RoundHalf(point->m_y)));
    if (!QRect(0, 0, 800, 600).contains(pane + QPoint(1, 1))) continue;
    markers += qGreen(frame.pixel(pane + QPoint(1, 1))) > 200;
  }
  EXPECT_GT(markers, 0);
  test::SaveScreenshot(&view, "camera_view_sample.png");
}

}  // namespace
}  // namespace q3d
