#pragma once
// New and Open as the application's commands run them: after either, the document's
// path always names the file its contents came from (or nothing), so a later Save can
// never write an emptied project over a file that failed to load.
#include <string>

#include "project/project_doc.h"

namespace q3d {

class Progress;

// Empties the project and makes it a new, untitled, unmodified one (views get hint 0).
void NewProject(CProjectDoc& doc);

enum class OpenOutcome {
  kOpened,      // loaded; the path is the file's
  kUnreadable,  // the file could not be read; the project is untouched
  kInvalid,     // the file is not a valid project; the project is untouched (or, short of
                // memory half-way, new and empty)
};

// Loads the project file. On failure an error record is on the stack.
OpenOutcome OpenProject(CProjectDoc& doc, const std::string& path, Progress* progress = nullptr);

}  // namespace q3d
