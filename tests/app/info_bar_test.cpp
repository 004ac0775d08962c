#include <QImage>
#include <QMenu>
#include <gtest/gtest.h>

#include "gui_helpers.h"
#include "views/command_ids.h"
#include "views/info_bar.h"

namespace q3d::test {
namespace {

QRgb PixelAt(QWidget& w, int x, int y) { return w.grab().toImage().pixel(x, y); }

TEST(InfoBar, ANewBarIsEmptyInTheInactiveColours) {
  CInfoView bar;
  bar.resize(200, CInfoView::kHeight);
  EXPECT_TRUE(bar.Text().isEmpty());
  EXPECT_FALSE(bar.IsActive());
  EXPECT_EQ(bar.height(), 18);
  EXPECT_EQ(PixelAt(bar, 100, 9), bar.BackColour().rgb());
}

TEST(InfoBar, ActiveAndInactiveColoursDifferAndTheTextIsDrawn) {
  CInfoView bar;
  bar.resize(200, CInfoView::kHeight);
  const QColor inactive = bar.BackColour();
  bar.SetActive(true);
  EXPECT_NE(bar.BackColour(), inactive);
  EXPECT_EQ(PixelAt(bar, 190, 9), bar.BackColour().rgb());
  bar.SetText(QStringLiteral("Image 1 - 640 x 480 - [100%]"));
  const QImage drawn = bar.grab().toImage();
  int textPixels = 0;
  for (int x = 0; x < 120; ++x)
    for (int y = 0; y < CInfoView::kHeight; ++y) textPixels += drawn.pixel(x, y) != bar.BackColour().rgb();
  EXPECT_GT(textPixels, 20);
  bar.SetActive(false);
  EXPECT_EQ(bar.BackColour(), inactive);
}

TEST(InfoBar, SwitchingPanesRepaintsTheOldBarInactiveAndTheNewActive) {
  auto app = StartApp();
  ASSERT_NE(app, nullptr);
  CMainFrame* frame = app->Frame();
  CInfoView* right = frame->PaneAt(CMainFrame::kRight)->InfoBar();
  CInfoView* top = frame->PaneAt(CMainFrame::kTopLeft)->InfoBar();
  const QRgb active = right->BackColour().rgb();
  frame->ActivatePane(CMainFrame::kTopLeft);
  EXPECT_EQ(PixelAt(*top, top->width() - 2, 9), active);
  EXPECT_NE(PixelAt(*right, right->width() - 2, 9), active);
}

TEST(ContextMenus, EachKindOfViewGetsItsMenu) {
  auto app = StartApp();
  ASSERT_NE(app, nullptr);
  CMainFrame* frame = app->Frame();
  QMenu* image = frame->ContextMenuFor(ViewKind::Image1);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image, frame->ContextMenuFor(ViewKind::Image2));
  ASSERT_NE(image->actions().first()->menu(), nullptr);
  QList<int> viewIds;
  for (QAction* a : image->actions().first()->menu()->actions()) viewIds << a->data().toInt();
  EXPECT_EQ(viewIds, QList<int>({cmd::kViewImage1, cmd::kViewImage2, cmd::kViewTexture, cmd::kView3DModel}));
  EXPECT_TRUE(image->actions().contains(frame->Action(cmd::kShowVectors)));
  EXPECT_TRUE(frame->ContextMenuFor(ViewKind::Texture)->actions().contains(frame->Action(cmd::kBlur)));
  EXPECT_TRUE(frame->ContextMenuFor(ViewKind::Model3D)->actions().contains(frame->Action(cmd::kLightingOn)));
}

}  // namespace
}  // namespace q3d::test
