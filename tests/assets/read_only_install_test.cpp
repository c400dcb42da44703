// An install nobody may write, as a system-wide one is: the program keeps
// its own files in a per-user folder and still packages a job and opens its
// window, run by a user other than the install's owner, and by root through
// a read-only mount.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <QProcess>
#include <QStringList>
#include <filesystem>
#include <set>

#include "core/exit_status.h"
#include "scripts/job_script.h"
#include "support/temp_drives.h"

namespace kelvo::assets {

namespace fs = std::filesystem;
using testing::TempDrives;

namespace {

constexpr int kNobody = 65534;

struct Ran {
  int status = -1;
  std::string output;
};

// `program` run as `uid` (root runs it as it is) with `env`.
Ran RunAs(int uid, const std::string& program, const QStringList& arguments,
          const QProcessEnvironment& env) {
  QProcess process;
  process.setProcessEnvironment(env);
  process.setProcessChannelMode(QProcess::MergedChannels);
  QStringList all = arguments;
  if (uid != 0) {
    all.prepend(QString::fromStdString(program));
    all = QStringList{"--reuid=" + QString::number(uid), "--regid=" + QString::number(uid),
                      "--clear-groups", "--"} +
          all;
    process.start("setpriv", all);
  } else {
    process.start(QString::fromStdString(program), all);
  }
  Ran ran;
  if (!process.waitForStarted(10000)) return {-1, process.errorString().toStdString()};
  if (!process.waitForFinished(300000)) process.kill(), process.waitForFinished();
  ran.output = process.readAll().toStdString();
  if (process.exitStatus() == QProcess::NormalExit) ran.status = process.exitCode();
  return ran;
}

std::set<std::string> Tree(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) names.insert(entry.path());
  return names;
}

void ChownTree(const std::string& dir, int uid) {
  ASSERT_EQ(::lchown(dir.c_str(), uid, uid), 0);
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    ASSERT_EQ(::lchown(entry.path().c_str(), uid, uid), 0) << entry.path();
}

// The installed program: bin/kelvo32, or the prefix itself as the
// application directory.
std::string Program(const std::string& prefix) {
  return fs::exists(prefix + "/bin/kelvo32") ? prefix + "/bin/kelvo32" : prefix + "/kelvo32";
}

class ReadOnlyInstall : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to hand files to another user";
    // Everyone may pass through; the install is root's, the user's tree nobody's.
    ::chmod(drives.root().c_str(), 0755);
    root = fs::canonical(drives.root()).string();
    prefix = root + "/usr";
    QProcess install;
    install.start(KELVO_CMAKE_COMMAND,
                  {"--install", KELVO_BUILD_DIR, "--prefix", QString::fromStdString(prefix)});
    ASSERT_TRUE(install.waitForFinished(300000));
    ASSERT_EQ(install.exitCode(), 0) << install.readAll().toStdString();
    user = root + "/user";
    fs::create_directories(user + "/home");
    const JobSettings job = testing::DemoRelease(user);
    TempDrives::WriteFile(user + "/jobs/demo.kvo", ScriptText(job, testing::FixedClock().Now()));
    env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", QString::fromStdString(user + "/home"));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.remove("XDG_DATA_HOME");
    env.remove("XDG_CONFIG_HOME");
    env.remove("KELVO32_DRIVES");
    installed = Tree(prefix);
  }

  // Packages the demo job and opens the window; neither writes a byte into
  // the install, and the per-user folder takes what the program keeps.
  void PackageAndOpen(int uid) {
    auto ran =
        RunAs(uid, Program(prefix),
              {QString::fromStdString("!" + testing::OnDriveZ(user + "/jobs/demo.kvo"))}, env);
    EXPECT_EQ(ran.status, kExitComplete) << ran.output;
    EXPECT_TRUE(fs::is_regular_file(user + "/zips/DEMO.zip")) << ran.output;
    const std::string own = user + "/home/.local/share/kelvo32";
    EXPECT_TRUE(fs::is_directory(own));

    QProcess window;
    window.setProcessEnvironment(env);
    window.setProcessChannelMode(QProcess::MergedChannels);
    QStringList arguments{QString::fromStdString(user + "/jobs/demo.kvo")};
    if (uid != 0) {
      window.start("setpriv",
                   QStringList{"--reuid=" + QString::number(uid), "--regid=" + QString::number(uid),
                               "--clear-groups", "--", QString::fromStdString(Program(prefix))} +
                       arguments);
    } else {
      window.start(QString::fromStdString(Program(prefix)), arguments);
    }
    ASSERT_TRUE(window.waitForStarted(10000));
    // Still up after a few seconds: the window opened instead of failing.
    EXPECT_FALSE(window.waitForFinished(4000)) << window.readAll().toStdString();
    window.terminate();
    window.waitForFinished(10000);
    if (window.state() != QProcess::NotRunning) window.kill(), window.waitForFinished();
    EXPECT_EQ(Tree(prefix), installed);
  }

  TempDrives drives;
  std::string root, prefix, user;
  QProcessEnvironment env;
  std::set<std::string> installed;
};

}  // namespace

TEST_F(ReadOnlyInstall, AnotherUserPackagesAJobAndOpensTheWindow) {
  ChownTree(user, kNobody);
  PackageAndOpen(kNobody);
}

TEST_F(ReadOnlyInstall, RootPackagesAJobFromAReadOnlyMount) {
  if (::mount(prefix.c_str(), prefix.c_str(), nullptr, MS_BIND | MS_REC, nullptr) != 0 ||
      ::mount(nullptr, prefix.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
    ::umount2(prefix.c_str(), MNT_DETACH);
    GTEST_SKIP() << "no read-only bind mount here: " << std::strerror(errno);
  }
  PackageAndOpen(0);
  EXPECT_EQ(::umount2(prefix.c_str(), MNT_DETACH), 0);
}

}  // namespace kelvo::assets
