#include "app/pane.h"

#include <QSplitterHandle>

namespace q3d {

namespace {
constexpr int kBarWidth = 3;
}

Pane::Pane(QWidget* parent) : QSplitter(Qt::Vertical, parent), infoBar_(new CInfoView(this)) {
  setHandleWidth(kBarWidth);
  setChildrenCollapsible(false);
  setStretchFactor(0, 0);
}

Pane::~Pane() {
  // The view is owned here, not by the widget tree: release it before QWidget deletes
  // the children.
  if (view_) view_->DetachDocument();
  view_.reset();
}

std::unique_ptr<ContentView> Pane::ReplaceView(std::unique_ptr<ContentView> view) {
  std::unique_ptr<ContentView> old = TakeView();
  view_ = std::move(view);
  if (!view_) return old;
  QWidget* w = view_->Widget();
  if (indexOf(w) < 0) addWidget(w);
  setStretchFactor(indexOf(w), 1);
  // The bars of a pane are fixed.
  for (int i = 1; i < count(); ++i) {
    handle(i)->setEnabled(false);
    handle(i)->setCursor(Qt::ArrowCursor);
  }
  w->show();
  // The new view takes the whole content row, whatever the splitter had given the old one.
  QList<int> sizes;
  for (int i = 0; i < count(); ++i)
    sizes << (widget(i) == infoBar_ ? infoBar_->height() : widget(i) == w ? std::max(1, height()) : 0);
  setSizes(sizes);
  RefreshCaption();
  return old;
}

std::unique_ptr<ContentView> Pane::TakeView() {
  if (!view_) return nullptr;
  view_->DetachDocument();
  view_->onStateChanged = nullptr;
  // Hidden in place until deleted: reparenting a GL widget to no parent would give it a
  // native window of its own for nothing.
  view_->Widget()->hide();
  return std::move(view_);
}

void Pane::RefreshCaption() {
  if (!view_) return;
  infoBar_->SetText(view_->Caption());
  infoBar_->update();
}

void Pane::SetActive(bool active) {
  infoBar_->SetActive(active);
  if (view_) view_->OnActivate(active);
  RefreshCaption();
}

}  // namespace q3d
