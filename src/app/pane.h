#pragma once
// One pane of the main window: an info bar over a content view in a splitter whose bar
// cannot be dragged.
#include <QSplitter>
#include <memory>

#include "views/content_view.h"
#include "views/info_bar.h"

namespace q3d {

class Pane : public QSplitter {
 public:
  explicit Pane(QWidget* parent = nullptr);
  ~Pane() override;

  CInfoView* InfoBar() const { return infoBar_; }
  ContentView* View() const { return view_.get(); }

  // Puts the view in the content row, giving it the whole row, and returns the previous
  // one (detached from the document, hidden, still a child until deleted).
  std::unique_ptr<ContentView> ReplaceView(std::unique_ptr<ContentView> view);
  // Removes the content view from the pane (detached from the document, hidden).
  std::unique_ptr<ContentView> TakeView();

  // Copies the view's caption into the info bar and repaints it.
  void RefreshCaption();
  // Shows the pane as active (its bar in the active colours) or not, and tells the view.
  void SetActive(bool active);

 private:
  CInfoView* infoBar_;
  std::unique_ptr<ContentView> view_;
};

}  // namespace q3d
