// The built help viewer as a child: the DOS path it is given is mapped
// through the drive table, and what it can't show ends it with a status.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "viewer/help_file.h"

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

TEST(WinhelpProgramTest, PipeDeviceOrHugeFileIsRefusedForWhatItIs) {
  QTemporaryDir temp;
  ASSERT_TRUE(temp.isValid());
  // Nobody ever writes to the pipe: a viewer that opened it would wait for
  // ever, and the child's deadline fails the test.
  const QString fifo = temp.path() + "/kelvo32.hlp";
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  auto pipe = RunWinhelp({OnDriveZ(fifo)});
  EXPECT_EQ(pipe.status, 3) << pipe.err.toStdString();
  EXPECT_TRUE(pipe.err.contains(OnDriveZ(fifo) + " can't be opened: it is a named pipe (FIFO)"))
      << pipe.err.toStdString();
  EXPECT_FALSE(pipe.err.contains("directory")) << pipe.err.toStdString();

  auto device = RunWinhelp({"-index", "z:\\dev\\zero"});
  EXPECT_EQ(device.status, 3) << device.err.toStdString();
  EXPECT_TRUE(device.err.contains("it is a device")) << device.err.toStdString();

  // Sparse: large on paper, quick to make.
  const QString huge = temp.path() + "/huge.hlp";
  QFile file(huge);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  ASSERT_TRUE(file.resize(qint64(kelvo::help::kMaxHelpBytes) + 1));
  file.close();
  auto big = RunWinhelp({OnDriveZ(huge)});
  EXPECT_EQ(big.status, 3) << big.err.toStdString();
  EXPECT_TRUE(big.err.contains(QString("it is too large: %1 bytes, at most %2 bytes")
                                   .arg(kelvo::help::kMaxHelpBytes + 1)
                                   .arg(kelvo::help::kMaxHelpBytes)))
      << big.err.toStdString();
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
