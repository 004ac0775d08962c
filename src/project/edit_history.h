#pragma once
// The undo history of a project. An edit is framed by Begin and End (EditScope does it
// for a block): Begin notes the project as it is, End turns what changed into a step
// named for the user ("Delete 12 Points"). Edits begun inside an edit belong to it. The
// history is bounded by the memory its steps hold, the oldest going first, and it knows
// where the saved file stands in it, so the modified flag follows undo and redo.
#include <cstddef>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "project/edit_step.h"

namespace q3d {

class CProjectDoc;

class EditHistory {
 public:
  static constexpr size_t kDefaultByteLimit = size_t{256} << 20;

  explicit EditHistory(CProjectDoc& doc, size_t byteLimit = kDefaultByteLimit);
  ~EditHistory();
  EditHistory(const EditHistory&) = delete;
  EditHistory& operator=(const EditHistory&) = delete;

  // Short of memory for the note, the edit goes ahead and End forgets the history.
  void Begin();
  // Ends the edit begun last. The outermost End records the step when the project
  // changed, named by the outermost edit that gave a name (an inner one's otherwise), and
  // sets the modified flag from the history; an edit that changed nothing leaves the flag
  // as it was. True when a step was recorded.
  bool End(const std::string& name);
  // Ends the edit begun last without a step: the command failed and the project is put
  // back by other means.
  void Abandon();
  bool InEdit() const { return depth_ > 0; }

  bool CanUndo() const { return depth_ == 0 && done_ > 0; }
  bool CanRedo() const { return depth_ == 0 && done_ < steps_.size(); }
  // The name of the step Undo or Redo would take; empty when there is none.
  std::string UndoName() const;
  std::string RedoName() const;
  // Take back the last step, or do again the last one taken back; the views are told and
  // the modified flag follows.
  void Undo();
  void Redo();

  // Forgets every step. saved: the project is what its file holds.
  void Clear(bool saved);
  // The project now is what its file holds.
  void MarkSaved();
  bool AtSavedState() const { return saved_ == done_; }

  size_t Bytes() const { return bytes_; }
  // Steps beyond the bound go at once.
  void SetByteLimit(size_t bytes);
  size_t UndoCount() const { return done_; }
  size_t RedoCount() const { return steps_.size() - done_; }

 private:
  void Move(EditStep& step);
  void Push(std::unique_ptr<EditStep> step);
  void DropOverLimit();
  void DropFront();
  void DropBack();

  CProjectDoc& doc_;
  size_t limit_;
  std::deque<std::unique_ptr<EditStep>> steps_;
  size_t done_ = 0;                  // steps_[0, done_) can be undone, the rest redone
  std::optional<size_t> saved_ = 0;  // the done_ at which the project is its file; none
                                     // when no state of the history is
  size_t bytes_ = 0;
  int depth_ = 0;
  std::unique_ptr<ProjectSnapshot> before_;
  bool modifiedBefore_ = false;
  std::string name_;   // the outermost given name so far
  int nameDepth_ = 0;  // the depth that gave it
};

// Frames a block as one edit; it throws nothing itself. When the block is left by an
// exception the edit is abandoned: the command guard puts the project back.
class EditScope {
 public:
  EditScope(CProjectDoc& doc, std::string name);
  ~EditScope();
  EditScope(const EditScope&) = delete;
  EditScope& operator=(const EditScope&) = delete;
  // The step's name once the edit knows what it did.
  void Rename(std::string name) { name_ = std::move(name); }

 private:
  EditHistory& history_;
  std::string name_;
  int exceptions_;
};

}  // namespace q3d
