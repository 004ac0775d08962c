// Quorvan 3D: textured 3D face models from a stereo pair of photographs.
#include <QApplication>

#include "app/application.h"

int main(int argc, char* argv[]) {
  QApplication qt(argc, argv);
  q3d::QuorvanApp app;
  QStringList arguments = QCoreApplication::arguments();
  arguments.removeFirst();
  if (!app.InitInstance(arguments)) return 1;
  return QApplication::exec();
}
