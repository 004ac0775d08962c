#pragma once
// A link of the command route: the active view, then the main frame, then the
// application. The first link that knows a command runs it and gives its state.
#include "views/content_view.h"

namespace q3d {

class CommandTarget {
 public:
  virtual ~CommandTarget() = default;
  // True when the command is this target's (it ran it).
  virtual bool OnCommand(int id) = 0;
  // True when the command is this target's (state filled).
  virtual bool OnUpdateCommand(int id, CommandState& state) = 0;
};

}  // namespace q3d
