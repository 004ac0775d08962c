// Quorvan 3D: textured 3D face models from a stereo pair of photographs.
#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <string_view>

#include "app/application.h"
#include "base/build_version.h"

namespace {

constexpr const char* kUsage =
    "Usage: quorvan3d [PROJECT.qvp]\n\n"
    "Opens the Quorvan 3D project named, or starts a new one.\n"
    "  --version  print the version and the commit it was built from\n"
    "  --help     print this text\n"
    "Standard Qt options (such as -platform) are accepted too.\n";

}  // namespace

int main(int argc, char* argv[]) {
  // Answered before Qt starts, so that they need no display.
  for (int i = 1; i < argc; ++i) {
    const std::string_view word = argv[i];
    if (word == "--version") {
      std::printf("quorvan3d %s\n", q3d::VersionText().c_str());
      return 0;
    }
    if (word == "--help" || word == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
  }
  QApplication qt(argc, argv);
  // The desktop entry and icon the package installs, for the task bar and window list.
  QGuiApplication::setDesktopFileName(QStringLiteral(Q3D_APP_ID));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(Q3D_APP_ID)));
  q3d::QuorvanApp app;
  QStringList arguments = QCoreApplication::arguments();
  arguments.removeFirst();
  if (!app.InitInstance(arguments)) return 1;
  return QApplication::exec();
}
