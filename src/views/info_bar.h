#pragma once
// The caption bar above each pane: one line naming what the pane shows, drawn in the
// active-caption colours while its pane is the active one.
#include <QColor>
#include <QString>
#include <QWidget>

namespace q3d {

class CInfoView : public QWidget {
 public:
  static constexpr int kHeight = 18;

  explicit CInfoView(QWidget* parent = nullptr);

  // Stores the caption; the caller repaints when it wants the change seen.
  void SetText(const QString& text) { m_text = text; }
  const QString& Text() const { return m_text; }
  // Switches to the active or inactive caption colours and repaints.
  void SetActive(bool active);
  bool IsActive() const { return m_active; }

  QColor BackColour() const { return m_backColour; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void PickColours();

  QString m_text;
  bool m_active = false;
  bool m_errorShown = false;
  QColor m_backColour;
  QColor m_textColour;
};

}  // namespace q3d
