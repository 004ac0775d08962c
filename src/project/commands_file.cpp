#include "project/commands_file.h"

#include <vector>

#include "base/archive.h"
#include "base/error_stack.h"
#include "base/file_output.h"

namespace q3d {

void NewProject(CProjectDoc& doc) {
  doc.DeleteContents();
  doc.SetPathName("");
  doc.SetModifiedFlag(false);
  doc.UpdateAllViews(nullptr, kHintDefault);
}

OpenOutcome OpenProject(CProjectDoc& doc, const std::string& path, Progress* progress) {
  std::vector<uint8_t> bytes;
  if (Status read = ReadWholeFile(path, bytes); !read) {
    PushErrorText("Error: The file could not be opened\n" + read.Reason());
    return OpenOutcome::kUnreadable;
  }
  if (!doc.LoadProjectBytes(bytes, progress)) {
    // The load emptied the project before it failed: it is now a new one.
    doc.SetPathName("");
    doc.SetModifiedFlag(false);
    doc.UpdateAllViews(nullptr, kHintDefault);
    return OpenOutcome::kInvalid;
  }
  doc.SetPathName(path);
  return OpenOutcome::kOpened;
}

}  // namespace q3d
