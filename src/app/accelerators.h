#pragma once
// The accelerator table of the main window. Keys are translated before anything else
// sees them (menu mnemonics included), so Alt+F is Flat Shading, not the File menu.
#include <QKeyEvent>
#include <span>

namespace q3d {

struct Accelerator {
  Qt::KeyboardModifiers modifiers;
  int key;
  int command;
};

std::span<const Accelerator> AcceleratorTable();

// The command of a key press, or 0. A keypad key counts as the same key of the main
// keyboard.
int CommandForKey(int key, Qt::KeyboardModifiers modifiers);

}  // namespace q3d
