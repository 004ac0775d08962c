#include "views/texture_view.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <functional>
#include <opencv2/imgproc.hpp>

#include "matching/marker_dots.h"
#include "support/status_assertions.h"
#include "views/command_ids.h"
#include "views/fixed_roi_dialog.h"
#include "views/texture_dialogs.h"
#include "views_test_support.h"

namespace q3d {
namespace {

using test::Click;
using test::SendMouse;

// A 600 x 600 pane: at zoom 1 the 512 x 512 texture sits at pane (44, 44).
class TextureViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::LoadSyntheticTexture(doc.m_model, 11);
    view.resize(600, 600);
    view.show();
    view.AttachDocument(&doc);
    view.RenderFrame();
    ASSERT_EQ(view.MarginX(), 44);
    view.showStopMessage = [this](const QString& text) { messages.push_back(text); };
  }
  cv::Mat Texture() { return doc.m_model.m_texture.Mat(); }
  static QPoint Pane(int x, int y) { return {x + 44, y + 44}; }
  int DarkPixels() {
    cv::Mat gray;
    cv::cvtColor(Texture(), gray, cv::COLOR_BGR2GRAY);
    return cv::countNonZero(gray < 128);
  }

  CProjectDoc doc;
  CTextureView view;
  std::vector<QString> messages;
};

// Runs the action on the dialog once it is up.
template <typename Dialog>
void WhenDialogShows(std::function<void(Dialog*)> action) {
  QTimer::singleShot(0, [action] {
    auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    action(dialog);
  });
}

TEST(TextureDialogs, SliderPositionsGiveOddMaskSizes) {
  EXPECT_EQ(MaskSizeFromPosition(2), 3);
  EXPECT_EQ(MaskSizeFromPosition(50), 99);
  CMaskFilterDialog dialog("Median Filter");
  EXPECT_EQ(dialog.MaskSize(), 3);
  EXPECT_EQ(dialog.SizeLabel()->text(), "3");
  QSignalSpy previews(&dialog, &CMaskFilterDialog::previewFilter);
  dialog.SizeSlider()->setValue(50);
  EXPECT_EQ(dialog.SizeLabel()->text(), "99");
  ASSERT_EQ(previews.count(), 1);
  EXPECT_EQ(previews.front().front().toInt(), 99);
  dialog.PreviewBox()->click();  // off: no preview on the next move
  dialog.SizeSlider()->setValue(10);
  EXPECT_EQ(previews.count(), 1);

  CMakeupCleaningDialog cleaning;
  EXPECT_EQ(cleaning.Threshold(), 128);
  EXPECT_EQ(cleaning.MaximumSize(), 5);
  EXPECT_EQ(cleaning.MedianSize(), 19);
}

TEST_F(TextureViewTest, CancelLeavesTheTextureUnchangedButStillSendsTheHints) {
  const cv::Mat before = Texture().clone();
  test::HintRecorder hints(doc);
  bool previewed = false;
  WhenDialogShows<CMaskFilterDialog>([&](CMaskFilterDialog* dialog) {
    previewed = view.Previewing();
    dialog->SizeSlider()->setValue(20);
    dialog->reject();
  });
  ASSERT_TRUE(view.OnCommand(cmd::kBlur));
  EXPECT_TRUE(previewed);
  EXPECT_FALSE(view.Previewing());
  EXPECT_EQ(cv::norm(Texture(), before, cv::NORM_INF), 0.0);
  EXPECT_EQ(hints.hints, (std::vector<int>{kHintTextureChanged, kHintRebuildModel}));
  EXPECT_FALSE(doc.IsModified());
}

TEST_F(TextureViewTest, PreviewShowsTheFilteredRegionInPlace) {
  // A 99 x 99 median wipes out the dots inside the region of interest on screen only.
  doc.m_model.m_textureRoi = MakeRoi(0, 100, 100, 200, 200);
  const cv::Mat before = Texture().clone();
  QImage preview;
  WhenDialogShows<CMaskFilterDialog>([&](CMaskFilterDialog* dialog) {
    dialog->SizeSlider()->setValue(50);
    preview = view.RenderFrame().copy();
    dialog->reject();
  });
  ASSERT_TRUE(view.OnCommand(cmd::kMedian));
  ASSERT_FALSE(preview.isNull());
  cv::Mat filtered;
  ApplyMaskFilter(TextureFilterKind::Median, before(cv::Rect(100, 100, 200, 200)), filtered, 99);
  const cv::Vec3b expected = filtered.at<cv::Vec3b>(50, 60);
  const QRgb shown = preview.pixel(Pane(160, 150));
  EXPECT_EQ(shown, qRgb(expected[2], expected[1], expected[0]));
  const cv::Vec3b outside = before.at<cv::Vec3b>(20, 20);
  EXPECT_EQ(preview.pixel(Pane(20, 20)), qRgb(outside[2], outside[1], outside[0]));
}

TEST_F(TextureViewTest, MedianOkChangesOnlyTheRegion) {
  doc.m_model.m_textureRoi = MakeRoi(0, 0, 0, 256, 512);
  const cv::Mat before = Texture().clone();
  WhenDialogShows<CMaskFilterDialog>([](CMaskFilterDialog* dialog) {
    dialog->SizeSlider()->setValue(3);  // 5 x 5
    dialog->accept();
  });
  ASSERT_TRUE(view.OnCommand(cmd::kMedian));
  cv::Mat expected;
  ApplyMaskFilter(TextureFilterKind::Median, before(cv::Rect(0, 0, 256, 512)), expected, 5);
  EXPECT_EQ(cv::norm(Texture()(cv::Rect(0, 0, 256, 512)), expected, cv::NORM_INF), 0.0);
  EXPECT_EQ(cv::norm(Texture()(cv::Rect(256, 0, 256, 512)), before(cv::Rect(256, 0, 256, 512)),
                     cv::NORM_INF),
            0.0);
  EXPECT_TRUE(doc.IsModified());
}

TEST_F(TextureViewTest, CleaningRemovesTheDotsAndThresholdZeroNothing) {
  const cv::Mat before = Texture().clone();
  WhenDialogShows<CMakeupCleaningDialog>([](CMakeupCleaningDialog* dialog) {
    dialog->ThresholdSlider()->setValue(0);
    dialog->accept();
  });
  ASSERT_TRUE(view.OnCommand(cmd::kThresholdMedian));
  EXPECT_EQ(cv::norm(Texture(), before, cv::NORM_INF), 0.0);

  const int darkBefore = DarkPixels();
  ASSERT_GT(darkBefore, 500);
  WhenDialogShows<CMakeupCleaningDialog>([](CMakeupCleaningDialog* dialog) { dialog->accept(); });
  ASSERT_TRUE(view.OnCommand(cmd::kThresholdMedian));
  EXPECT_EQ(DarkPixels(), 0);
  EXPECT_TRUE(doc.IsModified());
}

TEST_F(TextureViewTest, SharpenAppliesAtOnce) {
  const cv::Mat before = Texture().clone();
  test::HintRecorder hints(doc);
  ASSERT_TRUE(view.OnCommand(cmd::kSharpen));
  cv::Mat expected;
  ApplySharpen(before, expected);
  EXPECT_EQ(cv::norm(Texture(), expected, cv::NORM_INF), 0.0);
  EXPECT_EQ(hints.hints, (std::vector<int>{kHintTextureChanged, kHintRebuildModel}));
}

TEST_F(TextureViewTest, EraserNeedsASourceSetWithShiftInsideTheTexture) {
  ASSERT_TRUE(view.OnCommand(cmd::kEraserTool));
  CommandState state;
  ASSERT_TRUE(view.OnUpdateCommand(cmd::kEraserTool, state));
  EXPECT_TRUE(state.checked);
  const cv::Mat before = Texture().clone();
  Click(&view, Pane(200, 200));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages.front(), "Please press Shift + Left Button to define the Eraser origin");
  EXPECT_EQ(cv::norm(Texture(), before, cv::NORM_INF), 0.0);

  for (QPoint edge : {QPoint(9, 200), QPoint(200, 10), QPoint(502, 200), QPoint(200, 502)}) {
    Click(&view, Pane(edge.x(), edge.y()), Qt::ShiftModifier);
    EXPECT_FALSE(view.EraserSource()) << edge.x() << "," << edge.y();
  }
  Click(&view, Pane(10, 11), Qt::ShiftModifier);
  ASSERT_TRUE(view.EraserSource());
  EXPECT_EQ(*view.EraserSource(), (Rect{0, 0, 21, 22}));
}

TEST_F(TextureViewTest, BrushStrokeClonesWithTheSourceFollowing) {
  cv::Mat texture = Texture();
  texture(cv::Rect(0, 0, 256, 512)).setTo(cv::Scalar(0, 0, 255));
  texture(cv::Rect(256, 0, 256, 512)).setTo(cv::Scalar(255, 0, 0));
  const cv::Mat before = texture.clone();
  ASSERT_TRUE(view.OnCommand(cmd::kEraserTool));
  Click(&view, Pane(100, 100), Qt::ShiftModifier);
  // Press at (400, 100) anchors the offset (+300, 0); drag to (400, 140).
  SendMouse(&view, QEvent::MouseButtonPress, Pane(400, 100), Qt::LeftButton, Qt::LeftButton);
  SendMouse(&view, QEvent::MouseMove, Pane(400, 140), Qt::NoButton, Qt::LeftButton);
  SendMouse(&view, QEvent::MouseButtonRelease, Pane(400, 140), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(*view.EraserSource(), BrushRectAt(100, 140));
  for (int y : {100, 140}) {
    const cv::Vec3b centre = texture.at<cv::Vec3b>(y, 400);
    EXPECT_GT(centre[2], 230) << y;  // mostly the red source
  }
  // The brush's transparent corners leave the texture alone.
  const Rect brush = BrushRectAt(400, 100);
  EXPECT_EQ(texture.at<cv::Vec3b>(brush.top, brush.left), before.at<cv::Vec3b>(brush.top, brush.left));
  EXPECT_TRUE(doc.IsModified());
  // The press, the drag and the release are one step of the history.
  EXPECT_EQ(doc.m_history.UndoCount(), 1u);
  EXPECT_EQ(doc.m_history.UndoName(), "Eraser Stroke");

  // A stroke whose brush would cross the border paints nothing.
  const cv::Mat afterStroke = texture.clone();
  Click(&view, Pane(300, 300), Qt::ShiftModifier);
  SendMouse(&view, QEvent::MouseButtonPress, Pane(505, 300), Qt::LeftButton, Qt::LeftButton);
  SendMouse(&view, QEvent::MouseButtonRelease, Pane(505, 300), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(cv::norm(texture, afterStroke, cv::NORM_INF), 0.0);
  EXPECT_EQ(doc.m_history.UndoCount(), 1u) << "a stroke that paints nothing is no step";

  test::HintRecorder hints(doc);
  ASSERT_TRUE(view.OnCommand(cmd::kEraserTool));
  EXPECT_EQ(hints.hints, (std::vector<int>{kHintTextureChanged, kHintRebuildModel}));
  doc.m_history.Undo();
  EXPECT_EQ(cv::norm(texture, before, cv::NORM_INF), 0.0);
  doc.m_history.Redo();
  EXPECT_EQ(cv::norm(texture, afterStroke, cv::NORM_INF), 0.0);
}

TEST_F(TextureViewTest, RoiCommandsAndCaption) {
  EXPECT_EQ(view.Caption(), "Texture - 512 x 512 - [100%]");
  WhenDialogShows<CFixedRoiDialog>([](CFixedRoiDialog* dialog) {
    EXPECT_FALSE(dialog->SameAsOtherBox()->isVisible());
    dialog->WidthEdit()->setValue(600);
    dialog->HeightEdit()->setValue(100);
    dialog->accept();
  });
  test::HintRecorder hints(doc);
  ASSERT_TRUE(view.OnCommand(cmd::kRoiFixedSize));
  EXPECT_EQ(doc.m_model.m_textureRoi, MakeRoi(0, 0, 0, 512, 100));
  ASSERT_TRUE(view.OnCommand(cmd::kRoiWholeImage));
  EXPECT_EQ(doc.m_model.m_textureRoi, MakeRoi(0, 0, 0, 512, 512));
  EXPECT_EQ(hints.hints, (std::vector<int>{kHintTextureChanged, kHintTextureChanged}));
  CommandState state;
  EXPECT_FALSE(view.OnUpdateCommand(cmd::kManualMatching, state));
  EXPECT_FALSE(view.OnUpdateCommand(cmd::kShowPoints, state));
}

TEST_F(TextureViewTest, FiltersWithoutATextureDoNothing) {
  CProjectDoc blank;
  CTextureView empty;
  empty.AttachDocument(&blank);
  test::HintRecorder hints(blank);
  EXPECT_TRUE(empty.OnCommand(cmd::kSharpen));
  EXPECT_TRUE(empty.OnCommand(cmd::kBlur));  // no dialog without pixels
  EXPECT_TRUE(hints.hints.empty());
  EXPECT_FALSE(blank.IsModified());
}

TEST_F(TextureViewTest, Screenshot) {
  doc.m_model.m_textureRoi = MakeRoi(0, 60, 80, 300, 250);
  ASSERT_TRUE(view.OnCommand(cmd::kEraserTool));
  Click(&view, Pane(200, 200), Qt::ShiftModifier);
  const std::string path = test::SaveScreenshot(&view, "texture_view.png");
  EXPECT_FALSE(QImage(QString::fromStdString(path)).isNull());
}

}  // namespace
}  // namespace q3d

namespace q3d {
namespace {

TEST(TextureViewSample, CleaningTheRenderedSampleFace) {
  CProjectDoc doc;
  ASSERT_TRUE(doc.LoadProject(Q3D_SAMPLES_DIR "/face/sample.qvp")) << "the bundled sample does not load";
  RenderOptions options;
  options.seed = 1;
  if (doc.m_stereoPair.m_rendered != 1) {
    ASSERT_TRUE(test::Succeeded(doc.Render(options)));
  }
  doc.m_model.UpdateTexture();
  ASSERT_TRUE(doc.m_model.m_texture.HasData());
  CTextureView view;
  view.resize(560, 560);
  view.show();
  view.AttachDocument(&doc);
  // The make-up dots on the texture, as automatic matching finds them (pupils, brows and
  // lips are no dots and stay).
  auto markerDots = [&doc] {
    cv::Mat gray;
    cv::cvtColor(doc.m_model.m_texture.Mat(), gray, cv::COLOR_BGR2GRAY);
    DotOptions options;
    options.maxCount = 10000;
    FeatureList dots;
    EXPECT_EQ(DetectMarkerDots(gray, cv::Rect(0, 0, gray.cols, gray.rows), options, dots), 1);
    return static_cast<int>(dots.size());
  };
  const int before = markerDots();
  test::SaveScreenshot(&view, "texture_view_sample_before.png");
  WhenDialogShows<CMakeupCleaningDialog>([](CMakeupCleaningDialog* dialog) { dialog->accept(); });
  ASSERT_TRUE(view.OnCommand(cmd::kThresholdMedian));
  test::SaveScreenshot(&view, "texture_view_sample_cleaned.png");
  // With the dialog's defaults the markers go, in the shadowed half too.
  EXPECT_LE(markerDots(), before / 20);
  EXPECT_TRUE(doc.IsModified());
}

}  // namespace
}  // namespace q3d
