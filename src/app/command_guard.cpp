#include "app/command_guard.h"

#include <exception>
#include <new>
#include <string>

#include "base/archive.h"
#include "base/error_stack.h"
#include "base/progress.h"
#include "project/project_doc.h"

namespace q3d {

namespace {

// The copy is taken and put back without a progress window: it is not the user's action.
std::vector<uint8_t> Snapshot(CProjectDoc& doc) {
  Progress silent;
  Archive ar = Archive::ForStoring();
  doc.Serialize(ar, &silent);
  return ar.TakeBuffer();
}

}  // namespace

CommandGuard::CommandGuard(CProjectDoc* doc, std::function<void()> afterRestore)
    : doc_(doc), afterRestore_(std::move(afterRestore)) {}

bool CommandGuard::Run(const std::function<void()>& command) {
  const bool outermost = depth_ == 0;
  std::vector<uint8_t> snapshot;
  const bool modified = doc_->IsModified();
  if (outermost) {
    failed_ = false;
    try {
      snapshot = Snapshot(*doc_);
    } catch (const std::bad_alloc&) {
      // Not even a copy fits: the command would not either.
      PushOutOfMemory();
      ShowError(PopError(true));
      return false;
    }
  }
  ++depth_;
  std::string message = "Error: The command stopped on an internal fault";
  int32_t code = 0;
  bool thrown = true;
  try {
    command();
    thrown = false;
  } catch (const std::bad_alloc&) {
    message = "Error: Out of memory";
    code = -1;
  } catch (const std::exception& e) {
    if (*e.what()) message += std::string(" (") + e.what() + ")";
  } catch (...) {
  }
  --depth_;
  failed_ = failed_ || thrown;
  if (!thrown && !(outermost && failed_)) return !thrown;
  // A command run from a modal window inside another is reported at once; the outermost
  // one puts the document back.
  const bool restored = !outermost || Restore(snapshot, modified);
  if (thrown) {
    message += restored ? ". The project is as it was before the command."
                        : ". The project could not be put back and has been emptied.";
    PushError(MakeErrorRecord(code, 2, message));
    ShowError(PopError(true));
  }
  return !thrown;
}

bool CommandGuard::Restore(const std::vector<uint8_t>& snapshot, bool modified) {
  const std::string path = doc_->PathName();
  Progress silent;
  const int errorsBefore = ErrorCount();
  // The panes keep their views: the document goes back to what they showed before.
  auto resetPanes = std::move(doc_->m_resetPanes);
  doc_->m_resetPanes = nullptr;
  bool restored = false;
  try {
    restored = doc_->LoadProjectBytes(snapshot, &silent).ok();
  } catch (...) {
    doc_->DeleteContents();
  }
  doc_->m_resetPanes = std::move(resetPanes);
  while (ErrorCount() > errorsBefore) PopError(true);
  doc_->SetPathName(path);
  doc_->SetModifiedFlag(modified || !restored);
  if (afterRestore_) afterRestore_();
  return restored;
}

}  // namespace q3d
