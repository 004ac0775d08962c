#pragma once
// Long work of the core run off the GUI thread: the front end's progress reporter shows
// the work's steps and position and offers Cancel, while the GUI thread keeps drawing.
// The work must only read what the GUI thread leaves alone meanwhile (the progress
// window disables the main window, so no command changes the document).
#include <functional>
#include <string>

#include "base/result.h"

namespace q3d {

class Progress;

// Runs work(progress) on a worker thread and returns its status once it ends. A Cancel
// pressed before the result comes back turns it into Cancelled(), even when the work
// finished first: the user said not to use it. Exceptions of the work are rethrown here.
Status RunInBackground(const std::string& step, const std::function<Status(Progress&)>& work);

}  // namespace q3d
