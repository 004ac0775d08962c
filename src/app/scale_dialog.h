#pragma once
// The Real Distance dialog: the user names two matches (by number, or by picking two of
// the listed matches) and their real distance in millimetres, which puts the model's
// exports in millimetres; the dialog shows the scale set now and can remove it.
#include <QDialog>
#include <vector>

#include "project/project_doc.h"

class QDoubleSpinBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace q3d {

class ScaleDialog : public QDialog {
 public:
  explicit ScaleDialog(CProjectDoc& doc, QWidget* parent = nullptr);

  QSpinBox* FirstMatch() const { return first_; }
  QSpinBox* SecondMatch() const { return second_; }
  QDoubleSpinBox* Millimetres() const { return millimetres_; }
  QListWidget* MatchList() const { return list_; }
  QLabel* CurrentScale() const { return current_; }
  QPushButton* ClearButton() const { return clear_; }

  // OK: sets the distance, or says why it cannot and stays open.
  void accept() override;

 private:
  void ShowCurrentScale();
  void TakeListSelection();
  // The rows of the two matches the boxes name, selected in the list.
  void ShowPickInList();
  void Clear();

  CProjectDoc& doc_;
  QSpinBox* first_ = nullptr;
  QSpinBox* second_ = nullptr;
  QDoubleSpinBox* millimetres_ = nullptr;
  QListWidget* list_ = nullptr;
  QLabel* current_ = nullptr;
  QLabel* problem_ = nullptr;
  QPushButton* clear_ = nullptr;
  std::vector<int> picked_;  // rows of the list picked, oldest first
};

}  // namespace q3d
