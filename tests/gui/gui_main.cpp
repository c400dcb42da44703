// GoogleTest on a QApplication: the widgets are real, the platform offscreen.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
  // Without a platform and without a display Qt aborts; ctest sets it too.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Windows closed by the tests, and the programs they start, keep their
  // settings in a place of this process alone, never in the user's own.
  std::string config = std::filesystem::temp_directory_path() / "kelvo-config-XXXXXX";
  if (!::mkdtemp(config.data())) return 1;
  ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  int status = RUN_ALL_TESTS();
  std::filesystem::remove_all(config);
  return status;
}
