#include "app/scale_dialog.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "project/real_distance.h"

namespace q3d {
namespace {

// A common distance to start from: between the pupils of an adult.
constexpr double kPupilDistanceMm = 62.0;

QString MatchLine(int number, const CMatch& match) {
  auto at = [](const CSpPoint* p) {
    return p ? QStringLiteral("(%1, %2)").arg(p->m_x, 0, 'f', 1).arg(p->m_y, 0, 'f', 1)
             : QStringLiteral("(none)");
  };
  return QStringLiteral("%1:  point %2 %3 in Image 1, point %4 %5 in Image 2")
      .arg(number)
      .arg(match.m_id1)
      .arg(at(match.m_point1))
      .arg(match.m_id2)
      .arg(at(match.m_point2));
}

}  // namespace

ScaleDialog::ScaleDialog(CProjectDoc& doc, QWidget* parent) : QDialog(parent), doc_(doc) {
  setWindowTitle(QStringLiteral("Real Distance"));
  auto* layout = new QVBoxLayout(this);
  current_ = new QLabel(this);
  current_->setObjectName(QStringLiteral("currentScale"));
  current_->setWordWrap(true);
  layout->addWidget(current_);

  layout->addWidget(new QLabel(QStringLiteral("Pick two matches, or give their numbers:"), this));
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("matchList"));
  list_->setSelectionMode(QAbstractItemView::MultiSelection);
  int number = 1;
  for (const auto& match : doc_.m_stereoPair.m_matches.Matches())
    list_->addItem(MatchLine(number++, *match));
  list_->setMinimumWidth(list_->sizeHintForColumn(0) + 32);
  layout->addWidget(list_, 1);

  const int count = doc_.m_stereoPair.m_matches.Count();
  auto* form = new QFormLayout;
  first_ = new QSpinBox(this);
  second_ = new QSpinBox(this);
  for (QSpinBox* box : {first_, second_}) box->setRange(count > 0 ? 1 : 0, count);
  millimetres_ = new QDoubleSpinBox(this);
  millimetres_->setRange(0.01, 1e6);
  millimetres_->setDecimals(2);
  millimetres_->setSuffix(QStringLiteral(" mm"));
  millimetres_->setValue(kPupilDistanceMm);
  form->addRow(QStringLiteral("&First match:"), first_);
  form->addRow(QStringLiteral("&Second match:"), second_);
  form->addRow(QStringLiteral("Real &distance:"), millimetres_);
  layout->addLayout(form);
  problem_ = new QLabel(this);
  problem_->setObjectName(QStringLiteral("scaleProblem"));
  problem_->setWordWrap(true);
  problem_->setStyleSheet(QStringLiteral("color: #a00000;"));
  problem_->hide();
  layout->addWidget(problem_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  clear_ = buttons->addButton(QStringLiteral("&Remove Distance"), QDialogButtonBox::ResetRole);
  clear_->setObjectName(QStringLiteral("clearScale"));
  clear_->setAutoDefault(false);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &ScaleDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(clear_, &QPushButton::clicked, this, &ScaleDialog::Clear);
  connect(list_, &QListWidget::itemSelectionChanged, this, &ScaleDialog::TakeListSelection);
  for (QSpinBox* box : {first_, second_})
    connect(box, &QSpinBox::valueChanged, this, &ScaleDialog::ShowPickInList);

  if (const auto set = CurrentRealDistance(doc_)) {
    if (set->first > 0) first_->setValue(set->first);
    if (set->second > 0) second_->setValue(set->second);
    millimetres_->setValue(set->millimetres);
  } else if (count >= 2) {
    second_->setValue(2);
  }
  ShowCurrentScale();
  ShowPickInList();
}

void ScaleDialog::ShowPickInList() {
  const QSignalBlocker block(list_);
  list_->clearSelection();
  picked_.clear();
  for (QSpinBox* box : {first_, second_}) {
    const int row = box->value() - 1;
    if (row < 0 || row >= list_->count()) continue;
    list_->item(row)->setSelected(true);
    if (std::find(picked_.begin(), picked_.end(), row) == picked_.end()) picked_.push_back(row);
  }
  if (!picked_.empty()) list_->scrollToItem(list_->item(picked_.front()));
}

void ScaleDialog::ShowCurrentScale() {
  const auto set = CurrentRealDistance(doc_);
  clear_->setEnabled(set.has_value());
  if (!set) {
    current_->setText(
        QStringLiteral("No real distance is set: exports are in the model's own units."));
    return;
  }
  QString text =
      QStringLiteral("Now: %1 mm between matches %2 and %3")
          .arg(set->millimetres, 0, 'g', 6)
          .arg(set->first > 0 ? QString::number(set->first) : QStringLiteral("(gone)"))
          .arg(set->second > 0 ? QString::number(set->second) : QStringLiteral("(gone)"));
  if (set->mmPerUnit)
    text += QStringLiteral(", %1 mm per model unit; exports are in millimetres.")
                .arg(*set->mmPerUnit, 0, 'g', 6);
  else
    text += QStringLiteral(". ") + QString::fromStdString(set->mmPerUnit.Reason());
  current_->setText(text);
}

void ScaleDialog::TakeListSelection() {
  // The two rows picked last name the matches; a third pick lets go of the oldest.
  std::vector<int> selected;
  for (const QModelIndex& index : list_->selectionModel()->selectedRows())
    selected.push_back(index.row());
  std::erase_if(picked_, [&](int row) {
    return std::find(selected.begin(), selected.end(), row) == selected.end();
  });
  for (int row : selected)
    if (std::find(picked_.begin(), picked_.end(), row) == picked_.end()) picked_.push_back(row);
  while (picked_.size() > 2) {
    const int oldest = picked_.front();
    picked_.erase(picked_.begin());
    const QSignalBlocker block(list_);
    list_->item(oldest)->setSelected(false);
  }
  if (picked_.empty()) return;
  // The list already shows the pick: no echo from the boxes.
  const QSignalBlocker blockFirst(first_), blockSecond(second_);
  first_->setValue(std::min(picked_.front(), picked_.back()) + 1);
  if (picked_.size() == 2) second_->setValue(std::max(picked_.front(), picked_.back()) + 1);
}

void ScaleDialog::accept() {
  const Status set =
      SetRealDistance(doc_, first_->value(), second_->value(), millimetres_->value());
  if (!set) {
    problem_->setText(QString::fromStdString(set.Reason()));
    problem_->show();
    return;
  }
  QDialog::accept();
}

void ScaleDialog::Clear() {
  ClearRealDistance(doc_);
  QDialog::accept();
}

}  // namespace q3d
