#include "views/info_bar.h"

#include <QEvent>
#include <QPainter>

#include "base/error_stack.h"

namespace q3d {

CInfoView::CInfoView(QWidget* parent) : QWidget(parent) {
  setFixedHeight(kHeight);
  // Painting covers the whole bar: no background erase.
  setAttribute(Qt::WA_OpaquePaintEvent);
  // A click on the bar makes it the focus widget, as the frame tracks the active view.
  // A click on the caption activates the pane's view, which takes the focus.
  setFocusPolicy(Qt::NoFocus);
  PickColours();
}

void CInfoView::SetActive(bool active) {
  m_active = active;
  PickColours();
  update();
}

// The desktop's caption colours: the selection colours for the active pane, a dark grey
// with light text for the others.
void CInfoView::PickColours() {
  const QPalette& pal = palette();
  if (m_active) {
    m_backColour = pal.color(QPalette::Active, QPalette::Highlight);
    m_textColour = pal.color(QPalette::Active, QPalette::HighlightedText);
  } else {
    m_backColour = pal.color(QPalette::Active, QPalette::Dark);
    m_textColour = pal.color(QPalette::Active, QPalette::Light);
  }
}

void CInfoView::changeEvent(QEvent* event) {
  // A palette change of the desktop recolours the bar with the current caption colours.
  if (event->type() == QEvent::PaletteChange) PickColours();
  QWidget::changeEvent(event);
}

void CInfoView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!painter.isActive()) {
    // Report once: the message box itself would trigger the next repaint.
    if (!m_errorShown) {
      m_errorShown = true;
      PushError(MakeErrorRecord(-2, 1, "Error: The pane caption could not be drawn on this display."));
      ShowError(PopError(true));
    }
    return;
  }
  QFont captionFont = font();
  captionFont.setPointSize(8);
  painter.setFont(captionFont);
  painter.fillRect(rect(), m_backColour);
  painter.setPen(m_textColour);
  const QFontMetrics metrics(captionFont);
  painter.drawText(2, 2 + metrics.ascent(), m_text);
}

}  // namespace q3d
