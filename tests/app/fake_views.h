#pragma once
// A stand-in camera view for the frame's tests: it reports manual matching and handles
// the 3D view's Flat Shading so the routing and the enabling rules can be observed.
#include <QWidget>

#include "views/command_ids.h"
#include "views/content_view.h"

namespace q3d::test {

class FakeView : public QWidget, public ContentView {
 public:
  explicit FakeView(ViewKind kind) : kind_(kind) { setFocusPolicy(Qt::ClickFocus); }
  ~FakeView() override { DetachDocument(); }

  QWidget* Widget() override { return this; }
  ViewKind Kind() const override { return kind_; }
  QString Caption() const override { return QStringLiteral("fake"); }
  void OnDocumentUpdate(DocumentObserver*, int hint) override { lastHint = hint; }

  bool OnCommand(int id) override {
    if (id != cmd::kManualMatching && id != cmd::kFlatShading) return false;
    if (id == cmd::kManualMatching) matching = !matching;
    ++commandsRun;
    return true;
  }
  bool OnUpdateCommand(int id, CommandState& state) override {
    if (id == cmd::kManualMatching) {
      state.checked = matching;
      return true;
    }
    if (id == cmd::kFlatShading) {
      state.radio = true;
      state.checked = true;
      return true;
    }
    return false;
  }

  bool matching = false;
  int commandsRun = 0;
  int lastHint = -1;

 private:
  ViewKind kind_;
};

}  // namespace q3d::test
