// The manual the build made, as the help viewer reads it.
#pragma once

#include <gtest/gtest.h>

#include <QFile>
#include <QString>

namespace kelvo::help {

inline QString Manual() {
  QFile file(KELVO_HELP_FILE);
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << KELVO_HELP_FILE;
  return QString::fromUtf8(file.readAll());
}

}  // namespace kelvo::help
