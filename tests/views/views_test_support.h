#pragma once
// Shared pieces of the view tests: a QApplication main, projects with synthetic images,
// a recorder of update hints and mouse events with explicit button state.
#include <QImage>
#include <QMouseEvent>
#include <QWidget>
#include <string>
#include <vector>

#include "project/project_doc.h"

namespace q3d::test {

// Fills the camera with a width x height colour image (a soft gradient with dark dots
// at the given centres), its grey copy and a whole-image region.
void LoadSyntheticImage(CCamera& camera, int width, int height,
                        const std::vector<std::pair<int, int>>& dots = {});
// Gives the model a 512 x 512 skin-coloured texture with dark dots.
void LoadSyntheticTexture(C3DModel& model, unsigned seed);

class HintRecorder : public DocumentObserver {
 public:
  explicit HintRecorder(CProjectDoc& doc) : doc_(doc) { doc_.AddObserver(this); }
  ~HintRecorder() override { doc_.RemoveObserver(this); }
  void OnDocumentUpdate(DocumentObserver*, int hint) override { hints.push_back(hint); }
  std::vector<int> hints;

 private:
  CProjectDoc& doc_;
};

void SendMouse(QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
void Click(QWidget* widget, QPoint pos, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
void Drag(QWidget* widget, QPoint from, QPoint to, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
void PressKey(QWidget* widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

// Saves a screenshot of the widget into the build folder; returns the path.
std::string SaveScreenshot(QWidget* widget, const std::string& name);

}  // namespace q3d::test
