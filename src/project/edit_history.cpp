#include "project/edit_history.h"

#include <exception>
#include <new>

#include "project/project_doc.h"

namespace q3d {

EditHistory::EditHistory(CProjectDoc& doc, size_t byteLimit) : doc_(doc), limit_(byteLimit) {}

EditHistory::~EditHistory() = default;

void EditHistory::Begin() {
  if (depth_ == 0) {
    try {
      before_ = std::make_unique<ProjectSnapshot>(TakeSnapshot(doc_));
    } catch (const std::bad_alloc&) {
      before_.reset();  // the edit goes ahead unrecorded; End forgets the history
    }
    modifiedBefore_ = doc_.IsModified();
    name_.clear();
    nameDepth_ = 0;
  }
  ++depth_;
}

bool EditHistory::End(const std::string& name) {
  if (depth_ == 0) return false;
  if (!name.empty() && (name_.empty() || depth_ < nameDepth_)) {
    name_ = name;
    nameDepth_ = depth_;
  }
  if (--depth_ > 0) return false;
  const std::unique_ptr<ProjectSnapshot> before = std::move(before_);
  std::unique_ptr<EditStep> step;
  bool recorded = before != nullptr;
  try {
    if (before)
      step = EditStep::Between(*before, doc_, name_.empty() ? std::string("Edit") : name_);
  } catch (const std::bad_alloc&) {
    recorded = false;
  }
  if (!recorded) {
    // Short of memory, the edit stands but cannot be taken back; the steps before it no
    // longer fit the project and go with it.
    Clear(false);
    doc_.SetModifiedFlag(true);
    return false;
  }
  if (!step) {
    doc_.SetModifiedFlag(modifiedBefore_);
    return false;
  }
  Push(std::move(step));
  doc_.SetModifiedFlag(!AtSavedState());
  return true;
}

void EditHistory::Abandon() {
  if (depth_ == 0) return;
  if (--depth_ == 0) before_.reset();
}

std::string EditHistory::UndoName() const {
  return CanUndo() ? steps_[done_ - 1]->Name() : std::string();
}

std::string EditHistory::RedoName() const {
  return CanRedo() ? steps_[done_]->Name() : std::string();
}

void EditHistory::Undo() {
  if (!CanUndo()) return;
  --done_;
  Move(*steps_[done_]);
}

void EditHistory::Redo() {
  if (!CanRedo()) return;
  ++done_;
  Move(*steps_[done_ - 1]);
}

void EditHistory::Move(EditStep& step) {
  const bool wasRendered = doc_.IsRendered();
  bytes_ -= step.Bytes();
  step.Swap(doc_);
  bytes_ += step.Bytes();
  const bool points = step.ChangesPoints();
  const bool texture = step.ChangesTexture();
  DropOverLimit();  // the step now holds the other side, which may be larger
  doc_.SetModifiedFlag(!AtSavedState());
  // As Remove Render Data does: no pane may go on showing a model that is gone.
  if (wasRendered && !doc_.IsRendered() && doc_.m_resetPanes) doc_.m_resetPanes();
  if (points) doc_.UpdateAllViews(nullptr, kHintPointsChanged);
  if (texture) doc_.UpdateAllViews(nullptr, kHintTextureChanged);
  if (doc_.IsRendered()) doc_.UpdateAllViews(nullptr, kHintRebuildModel);
}

void EditHistory::Clear(bool saved) {
  steps_.clear();
  done_ = 0;
  bytes_ = 0;
  saved_ = saved ? std::optional<size_t>(0) : std::nullopt;
  // An edit under way goes on from the project as it is now.
  if (before_) {
    try {
      *before_ = TakeSnapshot(doc_);
    } catch (const std::bad_alloc&) {
      before_.reset();
    }
  }
}

void EditHistory::MarkSaved() { saved_ = done_; }

void EditHistory::SetByteLimit(size_t bytes) {
  limit_ = bytes;
  DropOverLimit();
}

void EditHistory::Push(std::unique_ptr<EditStep> step) {
  while (steps_.size() > done_) DropBack();
  bytes_ += step->Bytes();
  steps_.push_back(std::move(step));
  ++done_;
  DropOverLimit();
}

void EditHistory::DropOverLimit() {
  // The oldest step goes first; with nothing left to undo, the last step to redo.
  while (bytes_ > limit_ && steps_.size() > 1) {
    if (done_ > 0)
      DropFront();
    else
      DropBack();
  }
}

void EditHistory::DropFront() {
  bytes_ -= steps_.front()->Bytes();
  steps_.pop_front();
  --done_;
  if (saved_) saved_ = *saved_ == 0 ? std::nullopt : std::optional<size_t>(*saved_ - 1);
}

void EditHistory::DropBack() {
  if (saved_ == steps_.size()) saved_.reset();
  bytes_ -= steps_.back()->Bytes();
  steps_.pop_back();
}

EditScope::EditScope(CProjectDoc& doc, std::string name)
    : history_(doc.m_history), name_(std::move(name)), exceptions_(std::uncaught_exceptions()) {
  history_.Begin();
}

EditScope::~EditScope() {
  if (std::uncaught_exceptions() > exceptions_)
    history_.Abandon();
  else
    history_.End(name_);
}

}  // namespace q3d
