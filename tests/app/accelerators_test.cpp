#include "app/accelerators.h"

#include <gtest/gtest.h>

#include <set>

#include "app/command_table.h"
#include "views/command_ids.h"

namespace q3d {
namespace {

TEST(Accelerators, KeysGiveTheirCommands) {
  using namespace cmd;
  EXPECT_EQ(CommandForKey(Qt::Key_F1, Qt::NoModifier), kViewImage1);
  EXPECT_EQ(CommandForKey(Qt::Key_F4, Qt::NoModifier), kView3DModel);
  EXPECT_EQ(CommandForKey(Qt::Key_F6, Qt::ShiftModifier), kPrevPane);
  EXPECT_EQ(CommandForKey(Qt::Key_F, Qt::AltModifier), kFlatShading);
  EXPECT_EQ(CommandForKey(Qt::Key_F, Qt::ControlModifier), kFitToWindow);
  EXPECT_EQ(CommandForKey(Qt::Key_M, Qt::ControlModifier | Qt::AltModifier), kManualMatching);
  EXPECT_EQ(CommandForKey(Qt::Key_R, Qt::ControlModifier | Qt::AltModifier), kRemoveRenderData);
  EXPECT_EQ(CommandForKey(Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier), kEraserTool);
  EXPECT_EQ(CommandForKey(Qt::Key_Backspace, Qt::AltModifier), kUndo);
  EXPECT_EQ(CommandForKey(Qt::Key_Z, Qt::ControlModifier), kUndo);
  EXPECT_EQ(CommandForKey(Qt::Key_Y, Qt::ControlModifier), kRedo);
  EXPECT_EQ(CommandForKey(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier), kRedo);
  // The keypad's Delete is Delete too.
  EXPECT_EQ(CommandForKey(Qt::Key_Delete, Qt::KeypadModifier), kDelete);
}

TEST(Accelerators, ZoomWorksOnTheKeypadAndTheMainKeyboard) {
  const auto keypadCtrl = Qt::ControlModifier | Qt::KeypadModifier;
  EXPECT_EQ(CommandForKey(Qt::Key_Plus, keypadCtrl), cmd::kZoomIn);
  EXPECT_EQ(CommandForKey(Qt::Key_Minus, keypadCtrl), cmd::kZoomOut);
  EXPECT_EQ(CommandForKey(Qt::Key_Plus, Qt::ControlModifier | Qt::ShiftModifier), cmd::kZoomIn);
  EXPECT_EQ(CommandForKey(Qt::Key_Equal, Qt::ControlModifier), cmd::kZoomIn);
  EXPECT_EQ(CommandForKey(Qt::Key_Minus, Qt::ControlModifier), cmd::kZoomOut);
  EXPECT_EQ(CommandForKey(Qt::Key_0, Qt::ControlModifier), cmd::kResetView);
  EXPECT_EQ(CommandForKey(Qt::Key_Minus, Qt::NoModifier), 0);
}

TEST(Accelerators, NoKeyIsBoundTwiceAndModifiersMustMatch) {
  std::set<std::pair<int, int>> seen;
  for (const Accelerator& a : AcceleratorTable())
    EXPECT_TRUE(seen.insert({a.key, static_cast<int>(a.modifiers.toInt())}).second) << a.command;
  EXPECT_EQ(AcceleratorTable().size(), 38u);
  EXPECT_EQ(CommandForKey(Qt::Key_F1, Qt::ControlModifier), 0);
  EXPECT_EQ(CommandForKey(Qt::Key_A, Qt::NoModifier), 0);
}

TEST(Accelerators, EveryAcceleratedMenuCommandShowsItsKeys) {
  // The menu text names the accelerator after a tab wherever the menu shows one.
  const CommandText* render = FindCommandText(cmd::kRender);
  ASSERT_NE(render, nullptr);
  EXPECT_STREQ(render->menuText, "&Render\tCtrl+R");
  EXPECT_EQ(MenuTextWithoutAccelerator(render->menuText), QStringLiteral("&Render"));
  for (const Accelerator& a : AcceleratorTable()) {
    const CommandText* text = FindCommandText(a.command);
    ASSERT_NE(text, nullptr) << a.command;
    EXPECT_NE(text->prompt[0], '\0') << a.command;
  }
}

}  // namespace
}  // namespace q3d
