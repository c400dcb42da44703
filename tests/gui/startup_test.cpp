// The real program started as a child: batch jobs end with their status,
// and a second copy leaves the running one alone.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QProcess>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <optional>

#include "core/exit_status.h"
#include "scripts/job_script.h"
#include "support/temp_drives.h"
#include "tools/file_tree.h"
#include "ui/single_instance.h"

namespace kelvo::gui {

namespace fs = std::filesystem;
using testing::TempDrives;

namespace {

// A copy of the application folder of its own (the single-instance key is
// per application folder), a home of its own for c:, and a complete job in
// jobs/demo.kvo whose source, texts and zip folder lie beside them.
struct Program {
  Program() {
    root = fs::canonical(drives.root()).string();
    appDir = root + "/app";
    fs::create_directories(appDir);
    for (const char* file : {"kelvo32", "wrar", "wace", "pkzip", "size"})
      fs::copy_file(std::string(KELVO_APP_BUILD_DIR) + "/" + file, appDir + "/" + file);
    fs::create_directories(root + "/home");
    fs::create_directories(root + "/tmp");
    job = testing::DemoRelease(root);
    testing::WriteTree(root + "/src", {{"data.bin", testing::NoiseBytes(30000, 4)}});
    WriteJob();
  }

  void WriteJob() const {
    TempDrives::WriteFile(root + "/jobs/demo.kvo", ScriptText(job, testing::FixedClock().Now()));
  }
  std::string JobPath() const { return testing::OnDriveZ(root + "/jobs/demo.kvo"); }
  std::vector<std::string> Zips() const { return testing::FileNames(root + "/zips"); }

  // Started with the given arguments, offscreen, in its own home.
  void Start(QProcess& process, const QStringList& arguments) const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", QString::fromStdString(root + "/home"));
    env.insert("TMPDIR", QString::fromStdString(root + "/tmp"));
    env.insert("QT_QPA_PLATFORM", platform);
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(root + "/config"));
    env.remove("KELVO32_DRIVES");
    if (drivesLine) env.insert("KELVO32_DRIVES", QString::fromStdString(*drivesLine));
    process.setProcessEnvironment(env);
    process.start(QString::fromStdString(appDir + "/kelvo32"), arguments);
    ASSERT_TRUE(process.waitForStarted(10000)) << process.errorString().toStdString();
  }

  struct Result {
    int status = -1;
    std::string stderrText;
  };
  Result Run(const QString& commandLine, int timeoutMs = 120000) const {
    QProcess process;
    Start(process, {commandLine});
    Result result;
    if (!process.waitForFinished(timeoutMs)) {
      process.kill();
      process.waitForFinished();
      ADD_FAILURE() << "kelvo32 " << commandLine.toStdString() << " did not end";
      return result;
    }
    result.stderrText = process.readAllStandardError().toStdString();
    if (process.exitStatus() == QProcess::NormalExit) result.status = process.exitCode();
    return result;
  }

  TempDrives drives;  // only for its temporary root
  std::string root, appDir;
  JobSettings job;
  std::optional<std::string> drivesLine;  // KELVO32_DRIVES, when set
  QString platform = "offscreen";         // QT_QPA_PLATFORM
};

}  // namespace

TEST(ProgramOptions, HelpAndVersionAnswerWithoutADisplay) {
  Program program;
  program.platform = "no-such-platform";
  for (const char* option : {"--help", "--version"}) {
    QProcess process;
    program.Start(process, {option});
    ASSERT_TRUE(process.waitForFinished(30000)) << option;
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0) << option;
    const std::string out = process.readAllStandardOutput().toStdString();
    EXPECT_TRUE(out.starts_with(option == std::string("--help") ? "Usage: kelvo32" : "Kelvo32 v"))
        << out;
  }
  auto unknown = program.Run("--frobnicate");
  EXPECT_EQ(unknown.status, 1);
  EXPECT_NE(unknown.stderrText.find("unknown option '--frobnicate'"), std::string::npos)
      << unknown.stderrText;
}

TEST(ProgramBatch, ACompleteJobIsPackagedAndEndsWithZero) {
  Program program;
  // No window class is ever built: a platform that does not exist would
  // end any program that made one.
  program.platform = "no-such-platform";
  auto result = program.Run("!" + QString::fromStdString(program.JobPath()));
  EXPECT_EQ(result.status, kExitComplete) << result.stderrText;
  EXPECT_EQ(program.Zips(), std::vector<std::string>{"DEMO.zip"});
  // Nor are the user's settings touched.
  EXPECT_FALSE(fs::exists(program.root + "/config/kelvo32"));
  // The work folder and the exchange files are gone with the program.
  const std::string c = program.root + "/home/.local/share/kelvo32/drive_c";
  EXPECT_TRUE(fs::is_directory(c));
  EXPECT_FALSE(fs::exists(c + "/Kelvo001"));
  EXPECT_FALSE(fs::exists(c + "/skip.txt"));
  EXPECT_FALSE(fs::exists(c + "/size.txt"));
  EXPECT_FALSE(fs::exists(program.appDir + "/file_id.diz"));
  if (fs::exists(program.appDir + "/temp")) {
    for (const auto& entry : fs::directory_iterator(program.appDir + "/temp")) {
      EXPECT_FALSE(entry.path().filename().string().starts_with("~kelvo")) << entry.path();
    }
  }

  // The arguments after the name are joined into the one command line: a
  // path split by the shell at a blank is whole again.
  fs::rename(program.root + "/jobs", program.root + "/my jobs");
  fs::remove(program.root + "/zips/DEMO.zip");
  QProcess split;
  program.Start(split, {"!" + QString::fromStdString(testing::OnDriveZ(program.root + "/my")),
                        "jobs\\demo.kvo"});
  ASSERT_TRUE(split.waitForFinished(120000));
  EXPECT_EQ(split.exitCode(), kExitComplete) << split.readAllStandardError().toStdString();
  EXPECT_EQ(program.Zips(), std::vector<std::string>{"DEMO.zip"});
}

TEST(ProgramStart, FromADriveRootNothingIsDoneAndNothingRemoved) {
  Program program;
  // host.ini makes the program's own folder the root of drive q:.
  TempDrives::WriteFile(program.appDir + "/host.ini", "[drives]\nq=" + program.appDir + "\n");
  // Only a host.ini no one else can write is read, whatever the umask.
  fs::permissions(program.appDir, fs::perms(0755));
  fs::permissions(program.appDir + "/host.ini", fs::perms(0644));
  const std::string c = program.root + "/home/.local/share/kelvo32/drive_c";
  TempDrives::WriteFile(c + "/skip.txt", "kept\r\n");
  auto result = program.Run("!" + QString::fromStdString(program.JobPath()));
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.stderrText.find("Kelvo32 can not be run from\na root directory, please "
                                   "reinstall."),
            std::string::npos)
      << result.stderrText;
  EXPECT_TRUE(program.Zips().empty());
  EXPECT_EQ(TempDrives::ReadFile(c + "/skip.txt"), "kept\r\n");
}

TEST(ProgramStart, AMalformedDriveTableStartsNothing) {
  Program program;
  program.drivesLine =
      "z=/\x1f"
      "c=drive_c";
  auto result = program.Run("!" + QString::fromStdString(program.JobPath()));
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.stderrText,
            "Kelvo32: can't use 'KELVO32_DRIVES': entry 2 'c=drive_c' does not name an absolute "
            "host directory\n");
  EXPECT_TRUE(program.Zips().empty());
  EXPECT_FALSE(fs::exists(program.root + "/home/.local"));
}

TEST(ProgramBatch, FailingJobsEndWithTheirStatusAndMakeNothing) {
  Program program;
  auto bare = program.Run("!");
  EXPECT_EQ(bare.status, kExitScriptRejected) << bare.stderrText;

  auto quoted = program.Run("!\"" + QString::fromStdString(program.JobPath()) + "\"");
  EXPECT_EQ(quoted.status, kExitScriptRejected) << quoted.stderrText;

  fs::remove(program.root + "/rel/demo.nfo");
  auto missingNfo = program.Run("!" + QString::fromStdString(program.JobPath()));
  EXPECT_NE(missingNfo.status, kExitComplete);
  EXPECT_NE(missingNfo.status, -1) << "crashed";
  EXPECT_TRUE(program.Zips().empty());
  EXPECT_FALSE(fs::exists(program.root + "/home/.local/share/kelvo32/drive_c/Kelvo001"));

  // A job the run refuses: a base name with a space.
  TempDrives::WriteFile(program.root + "/rel/demo.nfo", "notes\r\n");
  program.job.ZipBaseName = "DE MO";
  program.WriteJob();
  auto spaced = program.Run("$" + QString::fromStdString(program.JobPath()));
  EXPECT_EQ(spaced.status, kExitJobIncomplete) << spaced.stderrText;
  EXPECT_TRUE(program.Zips().empty());
}

TEST(ProgramSecondCopy, LeavesTheFirstRunningAndPackagesNothing) {
  Program program;
  QProcess first;
  // Ended by its handle whatever the outcome; it would not end by itself.
  struct KillAtEnd {
    QProcess& process;
    ~KillAtEnd() {
      if (process.state() == QProcess::NotRunning) return;
      process.kill();
      process.waitForFinished(10000);
    }
  } killAtEnd{first};
  program.Start(first, {QString::fromStdString(program.JobPath())});
  // The first copy listens, in its own temporary folder, once its start-up
  // is through.
  const QString key = QString::fromStdString(program.root + "/tmp/") +
                      ui::SingleInstance(QString::fromStdString(program.appDir)).Key();
  QElapsedTimer waited;
  waited.start();
  bool listening = false;
  while (!listening && waited.elapsed() < 60000 && first.state() == QProcess::Running) {
    QLocalSocket probe;
    probe.connectToServer(key);
    listening = probe.waitForConnected(200);
    if (!listening) QTest::qWait(100);
  }
  ASSERT_TRUE(listening) << first.readAllStandardError().toStdString();

  QElapsedTimer took;
  took.start();
  auto second = program.Run("!" + QString::fromStdString(program.JobPath()), 30000);
  EXPECT_LT(took.elapsed(), 15000);
  EXPECT_NE(second.status, kExitComplete);
  EXPECT_NE(second.status, -1) << "crashed";
  EXPECT_NE(second.stderrText.find("nothing was packaged"), std::string::npos) << second.stderrText;
  EXPECT_TRUE(program.Zips().empty());

  // The first copy is still there, with its job loaded and nothing made.
  EXPECT_EQ(first.state(), QProcess::Running);
  EXPECT_TRUE(program.Zips().empty());
}

}  // namespace kelvo::gui
