#pragma once
// Runs the GUI's commands so that no exception reaches the event loop. The document is
// copied before each command; when the command throws (out of memory, or a fault of the
// program), the copy is put back and the user is told in a message box.
#include <cstdint>
#include <functional>
#include <vector>

namespace q3d {

class CProjectDoc;

class CommandGuard {
 public:
  // afterRestore runs once the document has been put back (the frame fits its panes).
  CommandGuard(CProjectDoc* doc, std::function<void()> afterRestore);

  // Runs the command; false when it threw. A command started while another runs (from a
  // modal window's event loop) is caught too; the outermost one restores the document.
  bool Run(const std::function<void()>& command);

 private:
  // False when the copy could not be read back (the document is then empty).
  bool Restore(const std::vector<uint8_t>& snapshot, bool modified);

  CProjectDoc* doc_;
  std::function<void()> afterRestore_;
  int depth_ = 0;
  bool failed_ = false;
};

}  // namespace q3d
