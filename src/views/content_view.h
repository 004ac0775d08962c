#pragma once
// What the main frame knows of a pane's content view: its kind, command routing (the
// active view first), the info-bar caption and the document's update hints.
#include <QString>
#include <QWidget>
#include <functional>

#include "project/project_doc.h"

namespace q3d {

enum class ViewKind { Image1, Image2, Texture, Model3D };

// Update-UI state of one command, filled by whoever handles it.
struct CommandState {
  bool enabled = true;
  bool checked = false;
  bool radio = false;  // shown as the selected entry of a radio group when checked
};

class ContentView : public DocumentObserver {
 public:
  ~ContentView() override = default;

  virtual QWidget* Widget() = 0;
  virtual ViewKind Kind() const = 0;

  // True when the view handles the command (it ran it / filled its state).
  virtual bool OnCommand(int id) { (void)id; return false; }
  virtual bool OnUpdateCommand(int id, CommandState& state) {
    (void)id;
    (void)state;
    return false;
  }

  // The text of the info bar above the view.
  virtual QString Caption() const = 0;
  // The pane became active or inactive.
  virtual void OnActivate(bool active) { (void)active; }

  // Attaches the document (registers for hints) and runs the initial update (hint 0).
  void AttachDocument(CProjectDoc* doc) {
    if (doc_) doc_->RemoveObserver(this);
    doc_ = doc;
    if (doc_) {
      doc_->AddObserver(this);
      OnDocumentUpdate(nullptr, kHintDefault);
    }
  }
  void DetachDocument() {
    if (doc_) doc_->RemoveObserver(this);
    doc_ = nullptr;
  }
  CProjectDoc* Document() const { return doc_; }

  // Set by the frame: called when the caption or the command states may have changed.
  std::function<void()> onStateChanged;

 protected:
  void NotifyStateChanged() {
    if (onStateChanged) onStateChanged();
  }

 private:
  CProjectDoc* doc_ = nullptr;
};

}  // namespace q3d
