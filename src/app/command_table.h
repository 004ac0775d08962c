#pragma once
// Texts of every command: the menu text of the main menu (with its mnemonic and the
// accelerator after a tab), the status-bar prompt and the tool tip.
#include <QString>

namespace q3d {

struct CommandText {
  int id;
  const char* menuText;  // empty for tool-bar-only commands
  const char* prompt;    // status-bar prompt
  const char* toolTip;
};

// Null for an id without texts.
const CommandText* FindCommandText(int id);

// The menu text without its accelerator part: "&Image 1\tF1" gives "&Image 1".
QString MenuTextWithoutAccelerator(const char* menuText);

}  // namespace q3d
