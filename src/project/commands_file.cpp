#include "project/commands_file.h"

#include <filesystem>
#include <vector>

#include "base/archive.h"
#include "base/error_stack.h"
#include "base/file_output.h"
#include "base/printable_text.h"

namespace q3d {

void NewProject(CProjectDoc& doc) {
  doc.DeleteContents();
  doc.SetPathName("");
  doc.SetModifiedFlag(false);
  doc.m_history.Clear(true);
  doc.UpdateAllViews(nullptr, kHintDefault);
}

OpenOutcome OpenProject(CProjectDoc& doc, const std::string& path, Progress* progress) {
  std::vector<uint8_t> bytes;
  if (Status read = ReadWholeFile(path, bytes); !read) {
    PushErrorText("Error: The file could not be opened\n" + read.Reason());
    return OpenOutcome::kUnreadable;
  }
  // The whole file is read into a document of its own first: one that does not load
  // leaves the open project as it was.
  {
    CProjectDoc trial;
    if (Status checked = trial.ReadProjectBytes(bytes, progress); !checked) {
      const std::string& why = checked.Reason();
      const size_t detail = why.find('\n');
      if (why.starts_with(kInvalidFormat) && detail != std::string::npos)
        PushErrorText("Error: " + QuotedText(std::filesystem::path(path).filename().string()) +
                      " cannot be opened: it is not a Quorvan 3D project, or it is damaged.\n(" +
                      why.substr(detail + 1) + ")");
      else
        PushErrorText(why);
      return OpenOutcome::kInvalid;
    }
  }
  if (!doc.LoadProjectBytes(bytes, progress)) {
    // The same bytes loaded once already: only memory can fail now, and the load emptied
    // the project.
    doc.SetPathName("");
    doc.SetModifiedFlag(false);
    doc.m_history.Clear(true);
    doc.UpdateAllViews(nullptr, kHintDefault);
    return OpenOutcome::kInvalid;
  }
  doc.SetPathName(path);
  doc.m_history.Clear(true);
  return OpenOutcome::kOpened;
}

}  // namespace q3d
