#pragma once
// The help pages shipped inside the application, shown in a browser window of their own.
#include <QWidget>

class QTextBrowser;

namespace q3d {

class HelpWindow : public QWidget {
 public:
  static constexpr const char* kContentsUrl = "qrc:/help/index.html";

  explicit HelpWindow(QWidget* parent = nullptr);
  QTextBrowser* Browser() const { return browser_; }
  void ShowContents();
  // Shows one page of the help, by its file name ("render.html").
  void ShowPage(const QString& page);

 private:
  QTextBrowser* browser_;
};

}  // namespace q3d
