#include <QLabel>
#include <QMenu>
#include <QTextBrowser>
#include <QMenuBar>
#include <QSplitterHandle>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

#include "app/command_table.h"
#include "fake_views.h"
#include "gui_helpers.h"
#include "views/command_ids.h"

namespace q3d::test {
namespace {

using namespace cmd;

class MainFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app_ = StartApp();
    ASSERT_NE(app_, nullptr);
    frame_ = app_->Frame();
    doc_ = &app_->Document();
  }
  void TearDown() override {
    if (doc_) doc_->SetModifiedFlag(false);
  }
  void LoadImages() {
    ASSERT_TRUE(doc_->SetImages(WriteBitmap(dir_, "a.bmp", 160, 120).toStdString(),
                                WriteBitmap(dir_, "b.bmp", 160, 120).toStdString()));
  }
  bool Enabled(int id) { return frame_->QueryCommand(id).enabled; }
  bool Checked(int id) { return frame_->QueryCommand(id).checked; }
  // Puts a fake view into the active pane in place of its view.
  FakeView* PutFake(ViewKind kind) {
    const int index = frame_->ActivePaneIndex();
    auto fake = std::make_unique<FakeView>(kind);
    FakeView* raw = fake.get();
    graveyard_.push_back(frame_->PaneAt(index)->ReplaceView(std::move(fake)));
    // The replaced view lost the focus to another pane: the fake's pane is made active again.
    frame_->ActivatePane(index);
    return raw;
  }

  QTemporaryDir dir_;
  std::unique_ptr<QuorvanApp> app_;
  CMainFrame* frame_ = nullptr;
  CProjectDoc* doc_ = nullptr;
  std::vector<std::unique_ptr<ContentView>> graveyard_;
};

TEST_F(MainFrameTest, StartsWithThreePanesOfImage1Image2Image1AndTheRightOneActive) {
  EXPECT_EQ(KindAt(*frame_, CMainFrame::kTopLeft), ViewKind::Image1);
  EXPECT_EQ(KindAt(*frame_, CMainFrame::kBottomLeft), ViewKind::Image2);
  EXPECT_EQ(KindAt(*frame_, CMainFrame::kRight), ViewKind::Image1);
  EXPECT_EQ(frame_->ActivePaneIndex(), CMainFrame::kRight);
  EXPECT_EQ(ShownTitle(*frame_), QStringLiteral("Untitled - Quorvan 3D"));
  EXPECT_EQ(frame_->ReadyLabel()->text(), QStringLiteral("Ready"));
  EXPECT_TRUE(frame_->isMaximized());

  for (int i = 0; i < CMainFrame::kPaneCount; ++i) {
    Pane* pane = frame_->PaneAt(i);
    EXPECT_EQ(pane->InfoBar()->height(), 18);
    EXPECT_EQ(pane->InfoBar()->IsActive(), i == CMainFrame::kRight);
    EXPECT_FALSE(pane->handle(1)->isEnabled()) << "pane bar " << i << " must not drag";
  }
  EXPECT_TRUE(frame_->MainSplitter()->handle(1)->isEnabled());
  EXPECT_TRUE(frame_->LeftSplitter()->handle(1)->isEnabled());
  EXPECT_EQ(frame_->PaneAt(CMainFrame::kRight)->InfoBar()->Text(), QStringLiteral("Image 1"));
}

TEST_F(MainFrameTest, TheFirstMaximisedLayoutGivesTheLeftColumnAThird) {
  ASSERT_TRUE(frame_->IsLaidOut());
  const QList<int> sizes = frame_->MainSplitter()->sizes();
  const int total = sizes[0] + sizes[1] + frame_->MainSplitter()->handleWidth();
  EXPECT_NEAR(sizes[0], frame_->width() / 3, 0.02 * total);
}

TEST_F(MainFrameTest, ProjectCommandsFollowTheStateOfTheProject) {
  EXPECT_TRUE(Enabled(kSetImages));
  EXPECT_FALSE(Enabled(kAutomaticMatching));
  EXPECT_FALSE(Enabled(kRender));
  EXPECT_FALSE(Enabled(kRemoveRenderData));
  LoadImages();
  EXPECT_TRUE(Enabled(kAutomaticMatching));

  AddMatches(*doc_, 9);
  EXPECT_FALSE(Enabled(kRender));
  AddMatches(*doc_, 1);
  EXPECT_TRUE(Enabled(kRender));
  EXPECT_FALSE(Enabled(kRemoveRenderData));
  EXPECT_FALSE(Enabled(kViewTexture));
  EXPECT_FALSE(Enabled(kView3DModel));

  doc_->m_stereoPair.m_rendered = 1;
  frame_->UpdateCommandStates();
  EXPECT_FALSE(Enabled(kRender));
  EXPECT_TRUE(Enabled(kRemoveRenderData));
  EXPECT_TRUE(Enabled(kViewTexture));
  EXPECT_TRUE(Enabled(kView3DModel));
  // The actions of the menus and tool bars carry the same states.
  EXPECT_FALSE(frame_->Action(kRender)->isEnabled());
  EXPECT_TRUE(frame_->Action(kRemoveRenderData)->isEnabled());
}

TEST_F(MainFrameTest, UndoAndCommandsNothingHandlesAreDisabled) {
  LoadImages();
  doc_->m_stereoPair.m_rendered = 1;
  frame_->UpdateCommandStates();
  EXPECT_FALSE(Enabled(kUndo));
  EXPECT_FALSE(frame_->Action(kUndo)->isEnabled());
  // A camera view handles no 3D-view command, and nothing else does.
  ASSERT_EQ(frame_->ActiveView()->Kind(), ViewKind::Image1);
  for (int id : {kExportModel, kSmoothOn, kFlatShading, kThresholdMedian}) {
    EXPECT_FALSE(Enabled(id)) << id;
  }
  EXPECT_TRUE(Enabled(kViews));
  EXPECT_TRUE(Enabled(kHelpContents));
}

TEST_F(MainFrameTest, PaneViewCommandsAreCheckedForTheActiveViewAndSwitchIt) {
  EXPECT_TRUE(Checked(kViewImage1));
  EXPECT_FALSE(Checked(kViewImage2));
  frame_->Dispatch(kViewImage2);
  EXPECT_EQ(KindAt(*frame_, CMainFrame::kRight), ViewKind::Image2);
  EXPECT_TRUE(Checked(kViewImage2));
  EXPECT_EQ(frame_->PaneAt(CMainFrame::kRight)->InfoBar()->Text(), QStringLiteral("Image 2"));

  // Texture is impossible before a render.
  frame_->Dispatch(kViewTexture);
  EXPECT_EQ(KindAt(*frame_, CMainFrame::kRight), ViewKind::Image2);
  doc_->m_stereoPair.m_rendered = 1;
  frame_->Dispatch(kViewTexture);
  EXPECT_EQ(KindAt(*frame_, CMainFrame::kRight), ViewKind::Texture);
  EXPECT_TRUE(Checked(kViewTexture));
  EXPECT_TRUE(Enabled(kViewImage1));
}

TEST_F(MainFrameTest, ManualMatchingLocksThePaneViewCommands) {
  LoadImages();
  doc_->m_stereoPair.m_rendered = 1;
  FakeView* fake = PutFake(ViewKind::Image1);
  EXPECT_TRUE(Enabled(kViewImage2));
  EXPECT_TRUE(Checked(kViewImage1));
  frame_->Dispatch(kManualMatching);
  ASSERT_TRUE(fake->matching);
  for (int id : {kViewImage1, kViewImage2, kViewTexture, kView3DModel}) EXPECT_FALSE(Enabled(id)) << id;
  EXPECT_FALSE(Checked(kViewTexture));
  EXPECT_TRUE(Checked(kViewImage1));
  EXPECT_TRUE(frame_->Action(kManualMatching)->isChecked());
  frame_->Dispatch(kViewImage2);
  EXPECT_EQ(frame_->ActiveView(), fake);
}

TEST_F(MainFrameTest, ClickingACaptionActivatesItsPaneAndKeepsTheViewCommands) {
  doc_->m_stereoPair.m_rendered = 1;
  QTest::mouseClick(frame_->PaneAt(CMainFrame::kBottomLeft)->InfoBar(), Qt::LeftButton);
  EXPECT_EQ(frame_->ActivePaneIndex(), CMainFrame::kBottomLeft);
  EXPECT_EQ(frame_->ActiveView(), frame_->PaneAt(CMainFrame::kBottomLeft)->View());
  EXPECT_TRUE(SoundLayout(*frame_, {ViewKind::Image1, ViewKind::Image2, ViewKind::Image1}));
  EXPECT_TRUE(frame_->Action(kToolArrow)->isEnabled()) << "the view tool bar stays usable";
  for (int id : {kViewImage1, kViewImage2, kViewTexture, kView3DModel}) EXPECT_TRUE(Enabled(id)) << id;
  frame_->SwitchPaneView(ViewKind::Image1);
  EXPECT_EQ(KindAt(*frame_, CMainFrame::kBottomLeft), ViewKind::Image1);

  // Clicking a content view makes its pane active with its bar in the active colours.
  QTest::mouseClick(frame_->PaneAt(CMainFrame::kTopLeft)->View()->Widget(), Qt::LeftButton);
  EXPECT_EQ(frame_->ActivePaneIndex(), CMainFrame::kTopLeft);
  EXPECT_TRUE(frame_->PaneAt(CMainFrame::kTopLeft)->InfoBar()->IsActive());
  EXPECT_NE(frame_->PaneAt(CMainFrame::kTopLeft)->InfoBar()->BackColour(),
            frame_->PaneAt(CMainFrame::kRight)->InfoBar()->BackColour());
}

TEST_F(MainFrameTest, FunctionKeysSwitchThePaneAndF6MovesBetweenPanes) {
  QWidget* view = frame_->ActiveView()->Widget();
  QTest::keyClick(view, Qt::Key_F2);
  EXPECT_EQ(KindAt(*frame_, CMainFrame::kRight), ViewKind::Image2);
  QTest::keyClick(frame_->ActiveView()->Widget(), Qt::Key_F1);
  EXPECT_EQ(KindAt(*frame_, CMainFrame::kRight), ViewKind::Image1);
  // F1 is Image 1, not help.
  EXPECT_TRUE(frame_->Help() == nullptr || !frame_->Help()->isVisible());
  QTest::keyClick(frame_->ActiveView()->Widget(), Qt::Key_F4);
  EXPECT_EQ(KindAt(*frame_, CMainFrame::kRight), ViewKind::Image1) << "3D Model needs a render";

  QTest::keyClick(frame_->ActiveView()->Widget(), Qt::Key_F6);
  EXPECT_EQ(frame_->ActivePaneIndex(), CMainFrame::kTopLeft);
  QTest::keyClick(frame_->ActiveView()->Widget(), Qt::Key_F6);
  EXPECT_EQ(frame_->ActivePaneIndex(), CMainFrame::kBottomLeft);
  QTest::keyClick(frame_->ActiveView()->Widget(), Qt::Key_F6, Qt::ShiftModifier);
  EXPECT_EQ(frame_->ActivePaneIndex(), CMainFrame::kTopLeft);
  QTest::keyClick(frame_->ActiveView()->Widget(), Qt::Key_F6, Qt::ShiftModifier);
  EXPECT_EQ(frame_->ActivePaneIndex(), CMainFrame::kRight);

  doc_->m_stereoPair.m_rendered = 1;
  QTest::keyClick(frame_->ActiveView()->Widget(), Qt::Key_F3);
  EXPECT_EQ(KindAt(*frame_, CMainFrame::kRight), ViewKind::Texture);
}

TEST_F(MainFrameTest, AltFIsFlatShadingNotTheFileMenu) {
  FakeView* fake = PutFake(ViewKind::Model3D);
  frame_->ActivatePane(frame_->ActivePaneIndex());
  QTest::keyClick(fake, Qt::Key_F, Qt::AltModifier);
  EXPECT_EQ(fake->commandsRun, 1);
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  frame_->UpdateCommandStates();
  ASSERT_NE(frame_->Action(kFlatShading)->actionGroup(), nullptr) << "radio entries show a dot";
  EXPECT_TRUE(frame_->Action(kFlatShading)->isChecked());
}

TEST_F(MainFrameTest, RemoveRenderDataPutsThePanesBack) {
  LoadMatchedFace(*doc_, 30);
  frame_->Dispatch(kRender);
  ASSERT_TRUE(doc_->IsRendered());
  frame_->ActivatePane(CMainFrame::kTopLeft);
  frame_->Dispatch(kView3DModel);
  frame_->ActivatePane(CMainFrame::kRight);
  frame_->Dispatch(kViewTexture);
  ASSERT_EQ(KindAt(*frame_, CMainFrame::kTopLeft), ViewKind::Model3D);

  frame_->Dispatch(kRemoveRenderData);
  EXPECT_FALSE(doc_->IsRendered());
  EXPECT_EQ(doc_->m_stereoPair.m_matches.Count(), 30);
  EXPECT_EQ(KindAt(*frame_, CMainFrame::kTopLeft), ViewKind::Image1);
  EXPECT_EQ(KindAt(*frame_, CMainFrame::kBottomLeft), ViewKind::Image2);
  EXPECT_EQ(KindAt(*frame_, CMainFrame::kRight), ViewKind::Image1);
  EXPECT_EQ(frame_->ActivePaneIndex(), CMainFrame::kRight);
  EXPECT_TRUE(doc_->IsModified());
}

TEST_F(MainFrameTest, MenusAndToolBarsCarryTheCommandTexts) {
  EXPECT_EQ(frame_->Action(kSetImages)->text(), QStringLiteral("&Set Images...\tCtrl+W"));
  EXPECT_EQ(frame_->Action(kViewImage1)->text(), QStringLiteral("&Image 1\tF1"));
  EXPECT_EQ(frame_->Action(kAutomaticMatching)->statusTip(),
            QStringLiteral("Find feature points on both images and perform automatic matching"));
  EXPECT_EQ(frame_->Action(kAutomaticMatching)->toolTip(), QStringLiteral("Automatic Matching"));
  QStringList menus;
  for (QAction* a : frame_->menuBar()->actions()) menus << a->text();
  EXPECT_EQ(menus, QStringList({"&File", "&Edit", "&View", "&Project", "&Image", "&Texture", "&3D Model", "&Help"}));

  QList<int> mainButtons;
  for (QAction* a : frame_->MainToolBar()->actions()) mainButtons << (a->isSeparator() ? 0 : a->data().toInt());
  EXPECT_EQ(mainButtons, QList<int>({kNew, kOpen, kSave, kExportModel, 0, kDelete, 0, kUndo, kRedo,
                                     0, kViews, 0, kSetImages, 0, kManualMatching,
                                     kAutomaticMatching, 0, kRender, kRemoveRenderData}));
  EXPECT_EQ(mainButtons.indexOf(kViews), 10);
  QList<int> viewButtons;
  for (QAction* a : frame_->ViewToolBar()->actions()) viewButtons << (a->isSeparator() ? 0 : a->data().toInt());
  EXPECT_EQ(viewButtons, QList<int>({kToolArrow, kToolPan, kToolZoom, kToolRoi, 0, kFitToWindow, kZoomIn, kZoomOut,
                                     0, kFullColor, kGrayscale, 0, kShowPoints, kShowPointIds, kShowVectors}));
  EXPECT_EQ(frame_->MainToolBar()->iconSize(), QSize(21, 20));

  auto* views = qobject_cast<QToolButton*>(frame_->MainToolBar()->widgetForAction(frame_->Action(kViews)));
  ASSERT_NE(views, nullptr);
  EXPECT_EQ(views->popupMode(), QToolButton::MenuButtonPopup);
  QStringList items;
  for (QAction* a : frame_->ViewsMenu()->actions()) items << a->text();
  EXPECT_EQ(items, QStringList({"&Image 1", "I&mage 2", "Textur&e", "&3D Model"}));
}

TEST_F(MainFrameTest, ToolbarAndStatusBarToggle) {
  EXPECT_TRUE(Checked(kViewToolbar));
  frame_->Dispatch(kViewToolbar);
  EXPECT_FALSE(frame_->MainToolBar()->isVisible());
  EXPECT_FALSE(Checked(kViewToolbar));
  frame_->Dispatch(kViewStatusBar);
  EXPECT_FALSE(frame_->statusBar()->isVisible());
  frame_->Dispatch(kViewToolbar);
  EXPECT_TRUE(frame_->ViewToolBar()->isVisible());
}

TEST_F(MainFrameTest, HelpContentsOpensOurPages) {
  frame_->Dispatch(kHelpContents);
  ASSERT_NE(frame_->Help(), nullptr);
  EXPECT_TRUE(frame_->Help()->isVisible());
  EXPECT_EQ(frame_->Help()->Browser()->documentTitle(), QStringLiteral("Quorvan 3D Help"));
  EXPECT_TRUE(frame_->Help()->Browser()->toPlainText().contains(QStringLiteral("Taking the photographs")));
}

}  // namespace
}  // namespace q3d::test
