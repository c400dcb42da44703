// The built help viewer as a child: the DOS path it is given is mapped
// through the drive table, and what it can't show ends it with a status.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

// Without a desktop the viewer has nothing to show a found file on.
QProcessEnvironment NoDesktop() {
  auto env = QProcessEnvironment::systemEnvironment();
  env.remove("DISPLAY");
  env.remove("WAYLAND_DISPLAY");
  env.remove("KELVO32_DRIVES");
  env.insert("QT_QPA_PLATFORM", "offscreen");
  return env;
}

struct Finished {
  int status;
  QString err;
};

Finished RunWinhelp(const QStringList& args) {
  QProcess child;
  child.setProcessEnvironment(NoDesktop());
  child.start(KELVO_WINHELP_EXE, args);
  EXPECT_TRUE(child.waitForFinished(30000));
  EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
  return {child.exitCode(), QString::fromLocal8Bit(child.readAllStandardError())};
}

// z: is the host's root directory.
QString OnDriveZ(const QString& hostPath) {
  return "z:" + QDir::toNativeSeparators(hostPath).replace('/', '\\');
}

TEST(WinhelpProgramTest, NoPathIsAUsageError) {
  for (const QStringList& args : {QStringList{}, QStringList{"-index"}}) {
    auto done = RunWinhelp(args);
    EXPECT_EQ(done.status, 2);
    EXPECT_TRUE(done.err.contains("winhelp.exe [-index] <help file>")) << done.err.toStdString();
  }
}

TEST(WinhelpProgramTest, MissingHelpFileIsToldByName) {
  const QString missing = OnDriveZ(QDir::tempPath() + "/no-such-dir-kelvo/kelvo32.hlp");
  for (const QStringList& args : {QStringList{missing}, QStringList{"-index", missing}}) {
    auto done = RunWinhelp(args);
    EXPECT_EQ(done.status, 3) << done.err.toStdString();
    EXPECT_TRUE(done.err.contains(missing)) << done.err.toStdString();
    EXPECT_TRUE(done.err.contains("does not exist")) << done.err.toStdString();
  }
  // A directory is no help file either.
  auto dir = RunWinhelp({OnDriveZ(QDir::tempPath())});
  EXPECT_EQ(dir.status, 3) << dir.err.toStdString();
  EXPECT_TRUE(dir.err.contains("is a directory")) << dir.err.toStdString();
}

TEST(WinhelpProgramTest, UnquotedPathWithBlanksFindsTheFile) {
  QTemporaryDir temp;
  ASSERT_TRUE(temp.isValid());
  const QString hostFile = temp.path() + "/help files/kelvo 32/kelvo32.hlp";
  ASSERT_TRUE(QDir(temp.path()).mkpath("help files/kelvo 32"));
  ASSERT_TRUE(QFile::copy(KELVO_HELP_FILE, hostFile));

  // Split as the command runner splits an unquoted path; the file is found,
  // and only the missing desktop stops the window.
  const QStringList pieces = OnDriveZ(hostFile).split(' ');
  ASSERT_EQ(pieces.size(), 3);
  auto found = RunWinhelp(pieces);
  EXPECT_EQ(found.status, 1) << found.err.toStdString();
  EXPECT_TRUE(found.err.contains("no desktop")) << found.err.toStdString();

  auto index = RunWinhelp(QStringList{"-index"} + pieces);
  EXPECT_EQ(index.status, 1) << index.err.toStdString();

  // Two blanks where the file has one: a different, missing path.
  auto doubled = RunWinhelp({pieces[0] + " ", pieces[1], pieces[2]});
  EXPECT_EQ(doubled.status, 3) << doubled.err.toStdString();
}

}  // namespace
