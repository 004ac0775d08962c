#include "app/accelerators.h"

#include <array>

#include "views/command_ids.h"

namespace q3d {
namespace {

using namespace cmd;
constexpr Qt::KeyboardModifiers kNone = Qt::NoModifier;
constexpr Qt::KeyboardModifiers kCtrl = Qt::ControlModifier;
constexpr Qt::KeyboardModifiers kAlt = Qt::AltModifier;
constexpr Qt::KeyboardModifiers kShift = Qt::ShiftModifier;
constexpr Qt::KeyboardModifiers kCtrlAlt = Qt::ControlModifier | Qt::AltModifier;
constexpr Qt::KeyboardModifiers kCtrlShift = Qt::ControlModifier | Qt::ShiftModifier;

constexpr std::array kTable = {
    Accelerator{kCtrl, Qt::Key_A, kSelectAll},
    Accelerator{kCtrl, Qt::Key_F, kFitToWindow},
    Accelerator{kAlt, Qt::Key_F, kFlatShading},
    Accelerator{kAlt, Qt::Key_G, kGouraudShading},
    Accelerator{kCtrl, Qt::Key_I, kInvertSelection},
    Accelerator{kAlt, Qt::Key_L, kLightingOn},
    Accelerator{kCtrl, Qt::Key_M, kAutomaticMatching},
    Accelerator{kCtrlAlt, Qt::Key_M, kManualMatching},
    Accelerator{kCtrl, Qt::Key_N, kNew},
    Accelerator{kCtrl, Qt::Key_O, kOpen},
    Accelerator{kCtrl, Qt::Key_R, kRender},
    Accelerator{kAlt, Qt::Key_R, kRoiFixedSize},
    Accelerator{kCtrlAlt, Qt::Key_R, kRemoveRenderData},
    Accelerator{kCtrl, Qt::Key_S, kSave},
    Accelerator{kCtrlShift, Qt::Key_S, kSaveAs},
    Accelerator{kCtrl, Qt::Key_Q, kExit},
    Accelerator{kAlt, Qt::Key_S, kSmoothOn},
    Accelerator{kCtrl, Qt::Key_T, kThresholdMedian},
    Accelerator{kAlt, Qt::Key_T, kTextureOn},
    Accelerator{kCtrlShift, Qt::Key_T, kEraserTool},
    // Zoom on the keypad and on the main keyboard, where plus is shifted equals.
    Accelerator{kCtrl, Qt::Key_Plus, kZoomIn},
    Accelerator{kCtrlShift, Qt::Key_Plus, kZoomIn},
    Accelerator{kCtrl, Qt::Key_Equal, kZoomIn},
    Accelerator{kCtrl, Qt::Key_Minus, kZoomOut},
    Accelerator{kCtrl, Qt::Key_0, kResetView},
    Accelerator{kAlt, Qt::Key_Backspace, kUndo},
    Accelerator{kCtrl, Qt::Key_Z, kUndo},
    Accelerator{kCtrl, Qt::Key_Y, kRedo},
    Accelerator{kCtrlShift, Qt::Key_Z, kRedo},
    Accelerator{kNone, Qt::Key_Delete, kDelete},
    Accelerator{kNone, Qt::Key_F1, kViewImage1},
    Accelerator{kNone, Qt::Key_F2, kViewImage2},
    Accelerator{kNone, Qt::Key_F3, kViewTexture},
    Accelerator{kNone, Qt::Key_F4, kView3DModel},
    Accelerator{kNone, Qt::Key_F6, kNextPane},
    Accelerator{kShift, Qt::Key_F6, kPrevPane},
    Accelerator{kCtrl, Qt::Key_W, kSetImages},
    Accelerator{kAlt, Qt::Key_W, kRoiWholeImage},
};

}  // namespace

std::span<const Accelerator> AcceleratorTable() { return kTable; }

int CommandForKey(int key, Qt::KeyboardModifiers modifiers) {
  // The keypad's keys are the main keyboard's. Shift with a letter arrives as the
  // upper-case key already; only these modifiers count.
  modifiers &= Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier;
  for (const Accelerator& a : kTable)
    if (a.key == key && a.modifiers == modifiers) return a.command;
  return 0;
}

}  // namespace q3d
