// The frame's three panes: which is active, and what each shows.
#include <QApplication>
#include <QScopedValueRollback>
#include <QScreen>
#include <QSplitter>
#include <QTimer>

#include "app/main_frame.h"
#include "app/pane.h"
#include "app/view_context_menu.h"
#include "views/command_ids.h"
#include "views/manual_matching_state.h"
#include "views/view_factory.h"

namespace q3d {

namespace {
// The panes' views at start-up and after every reset.
constexpr std::pair<int, ViewKind> kInitialViews[] = {{CMainFrame::kTopLeft, ViewKind::Image1},
                                                      {CMainFrame::kBottomLeft, ViewKind::Image2},
                                                      {CMainFrame::kRight, ViewKind::Image1}};
// Rows of the tool bars and the menu bar left out of the panes' first ideal height.
constexpr int kBarsHeight = 54;
}  // namespace

void CMainFrame::CreatePanes() {
  mainSplitter_ = new QSplitter(Qt::Horizontal, this);
  mainSplitter_->setObjectName(QStringLiteral("mainSplitter"));
  leftSplitter_ = new QSplitter(Qt::Vertical, mainSplitter_);
  leftSplitter_->setObjectName(QStringLiteral("leftSplitter"));
  panes_[kTopLeft] = new Pane(leftSplitter_);
  panes_[kBottomLeft] = new Pane(leftSplitter_);
  panes_[kRight] = new Pane(mainSplitter_);
  mainSplitter_->addWidget(leftSplitter_);
  mainSplitter_->addWidget(panes_[kRight]);
  leftSplitter_->addWidget(panes_[kTopLeft]);
  leftSplitter_->addWidget(panes_[kBottomLeft]);
  for (QSplitter* s : {mainSplitter_, leftSplitter_}) {
    s->setChildrenCollapsible(false);
    s->setSizes({1, 1});
  }
  setCentralWidget(mainSplitter_);

  for (const auto& [index, kind] : kInitialViews) panes_[index]->ReplaceView(MakeView(index, kind));
  ActivatePane(kRight);
}

ContentView* CMainFrame::ActiveView() const {
  return panes_[activePane_] ? panes_[activePane_]->View() : nullptr;
}

std::unique_ptr<ContentView> CMainFrame::MakeView(int paneIndex, ViewKind kind) {
  Pane* pane = panes_[paneIndex];
  std::unique_ptr<ContentView> view = CreateContentView(kind, doc_, pane);
  view->onStateChanged = [this, pane] {
    pane->RefreshCaption();
    UpdateCommandStates();
  };
  GiveContextMenu(view.get(), ContextMenuFor(kind));
  return view;
}

void CMainFrame::ShowViewIn(int paneIndex, ViewKind kind) {
  // Hiding the old view sends the focus to another pane; the switch keeps its own pane
  // and ignores that focus change.
  const QScopedValueRollback<bool> switching(switchingView_, true);
  Bury(panes_[paneIndex]->ReplaceView(MakeView(paneIndex, kind)));
}

void CMainFrame::Bury(std::unique_ptr<ContentView> view) {
  if (!view) return;
  // The old view may be the caller of the command that replaced it: it is deleted only
  // once control is back in the event loop.
  graveyard_.push_back(std::move(view));
  QTimer::singleShot(0, this, [this] { graveyard_.clear(); });
}

void CMainFrame::ActivatePane(int index) {
  if (index < 0 || index >= kPaneCount) return;
  activePane_ = index;
  for (int i = 0; i < kPaneCount; ++i) panes_[i]->SetActive(i == index);
  QWidget* focus = panes_[index]->View() ? panes_[index]->View()->Widget() : nullptr;
  if (focus && !focus->hasFocus()) focus->setFocus(Qt::OtherFocusReason);
  UpdateCommandStates();
}

int CMainFrame::PaneOfWidget(const QWidget* w) const {
  for (; w; w = w->parentWidget()) {
    for (int i = 0; i < kPaneCount; ++i) {
      if (w == panes_[i]->InfoBar() || (panes_[i]->View() && w == panes_[i]->View()->Widget())) return i;
    }
  }
  return -1;
}

void CMainFrame::OnFocusChanged(QWidget* now) {
  if (switchingView_) return;
  const int index = PaneOfWidget(now);
  if (index < 0 || index == activePane_) return;
  ActivatePane(index);
}

void CMainFrame::SwitchPaneView(ViewKind kind) {
  if (!panes_[activePane_]->View()) return;
  const int target = activePane_;
  ShowViewIn(target, kind);
  ActivatePane(target);
}

void CMainFrame::ResetPanes() {
  EndManualMatching();
  for (const auto& [index, kind] : kInitialViews) ShowViewIn(index, kind);
  ActivatePane(kRight);
}

void CMainFrame::EndManualMatching() {
  // Ended as the user would end it, so that points still waiting for a partner go too.
  for (Pane* pane : panes_) {
    if (ContentView* view = pane->View(); IsCameraViewInManualMatching(view)) {
      view->OnCommand(cmd::kManualMatching);
      break;
    }
  }
  ManualMatchingState::For(doc_)->SetOn(false);
}

void CMainFrame::FitPanesToDocument() {
  // Texture and 3D views need a rendered project.
  for (Pane* pane : panes_) {
    const ViewKind kind = pane->View() ? pane->View()->Kind() : ViewKind::Image1;
    if (!doc_->IsRendered() && (kind == ViewKind::Texture || kind == ViewKind::Model3D)) {
      ResetPanes();
      break;
    }
  }
  UpdateCommandStates();
}

void CMainFrame::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  // The window manager activates the window after it is shown, and Qt would then focus
  // the first pane: the focus goes to the active pane instead.
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) ActivatePane(activePane_);
}

void CMainFrame::ActivateNeighbourPane(int step) {
  ActivatePane((activePane_ + step + kPaneCount) % kPaneCount);
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  const QScreen* s = screen();
  if (laidOut_ || !isMaximized() || !s || width() != s->availableGeometry().width()) return;
  const int w = width();
  const int h = height();
  mainSplitter_->setSizes({w / 3, w - w / 3});
  const int top = (h - kBarsHeight) / 2;
  leftSplitter_->setSizes({top, std::max(1, leftSplitter_->height() - top)});
  laidOut_ = true;
}

}  // namespace q3d
