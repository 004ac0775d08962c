#include "app/help_window.h"

#include <QHBoxLayout>
#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>
#include <QTextBrowser>
#include <QVBoxLayout>

// The pages live in this static library: register them explicitly, as nothing else
// references their object file.
static void InitHelpResources() { Q_INIT_RESOURCE(help); }

namespace q3d {

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window), browser_(new QTextBrowser(this)) {
  InitHelpResources();
  setWindowTitle(QStringLiteral("Quorvan 3D Help"));
  browser_->setOpenExternalLinks(true);
  auto* layout = new QVBoxLayout(this);
  auto* bar = new QHBoxLayout;
  auto* contents = new QPushButton(QStringLiteral("&Contents"), this);
  auto* back = new QPushButton(QStringLiteral("&Back"), this);
  bar->addWidget(contents);
  bar->addWidget(back);
  bar->addStretch(1);
  layout->addLayout(bar);
  layout->addWidget(browser_);
  connect(contents, &QPushButton::clicked, this, &HelpWindow::ShowContents);
  connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
  connect(browser_, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
  back->setEnabled(false);
  // Escape closes the help as it closes a dialog.
  auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(close, &QShortcut::activated, this, &QWidget::close);
  resize(720, 640);
}

void HelpWindow::ShowContents() { browser_->setSource(QUrl(QString::fromLatin1(kContentsUrl))); }

void HelpWindow::ShowPage(const QString& page) { browser_->setSource(QUrl(QStringLiteral("qrc:/help/") + page)); }

}  // namespace q3d
