// The widgets need a QApplication; settings go to the test location, not the user's.
#include <gtest/gtest.h>

#include <QApplication>
#include <QStandardPaths>

#include "gui_helpers.h"

int main(int argc, char** argv) {
  QStandardPaths::setTestModeEnabled(true);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  q3d::test::UnansweredModalWatch watch;
  return RUN_ALL_TESTS();
}
