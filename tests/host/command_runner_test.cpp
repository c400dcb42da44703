#include "host/command_runner.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

#include "host/progress_channel.h"
#include "host/stop_signal.h"
#include "host/text_file.h"

#include "support/temp_drives.h"

namespace kelvo::host {

using testing::TempDrives;
using Words = std::vector<std::string>;

TEST(SplitCommandLine, BlanksSeparateQuotesGroup) {
  EXPECT_EQ(
      SplitCommandLine("wrar.exe a -r  -v1440000b -m3 -y c:\\Kelvo001\\DEMO.rar \"d:\\my src\" "),
      (Words{"wrar.exe", "a", "-r", "-v1440000b", "-m3", "-y", "c:\\Kelvo001\\DEMO.rar",
             "d:\\my src"}));
  // A quoted drive root keeps its backslash.
  EXPECT_EQ(SplitCommandLine("x \"d:\\\" -x@c:\\skip.txt"),
            (Words{"x", "d:\\", "-x@c:\\skip.txt"}));
  EXPECT_EQ(SplitCommandLine("a\"b c\"d"), (Words{"ab cd"}));
  EXPECT_EQ(SplitCommandLine("a \"\""), (Words{"a", ""}));
  EXPECT_EQ(SplitCommandLine("   "), Words{});
  EXPECT_EQ(SplitCommandLine("a \"b"), std::nullopt);
}

TEST(ParseInterpreterLine, FindsRedirectionsAnywhereOutsideQuotes) {
  auto size = ParseInterpreterLine(" \"C:\\UTIL\\size.exe\" D:\\GAMES /s /t> c:\\size.txt");
  ASSERT_TRUE(size);
  EXPECT_EQ(size->words, (Words{"C:\\UTIL\\size.exe", "D:\\GAMES", "/s", "/t"}));
  EXPECT_EQ(size->output, "c:\\size.txt");
  EXPECT_FALSE(size->append);

  auto pk = ParseInterpreterLine(" pkzip.exe D:\\ZIPS\\DEMO02 -z <C:\\COMMENT.TXT");
  ASSERT_TRUE(pk);
  EXPECT_EQ(pk->words, (Words{"pkzip.exe", "D:\\ZIPS\\DEMO02", "-z"}));
  EXPECT_EQ(pk->input, "C:\\COMMENT.TXT");

  auto app = ParseInterpreterLine(" prog \"a>b\" >>\"c:\\out file.txt\"");
  ASSERT_TRUE(app);
  EXPECT_EQ(app->words, (Words{"prog", "a>b"}));
  EXPECT_EQ(app->output, "c:\\out file.txt");
  EXPECT_TRUE(app->append);

  EXPECT_FALSE(ParseInterpreterLine(" prog >"));
  EXPECT_FALSE(ParseInterpreterLine(" >x"));
  EXPECT_FALSE(ParseInterpreterLine(" prog \"open"));
}

TEST(CommandArgument, QuotedOnlyWhereAPathWouldSplitOrRedirect) {
  EXPECT_EQ(CommandArgument("d:\\src"), "d:\\src");
  EXPECT_EQ(CommandArgument("d:\\my src"), "\"d:\\my src\"");
  EXPECT_EQ(CommandArgument("d:\\a\tb"), "\"d:\\a\tb\"");
  // Whatever a path holds, the line splits back into that one path.
  for (std::string path : {"e:\\my zips\\DEMO01", "c:\\a>b", "c:\\a < b", "c:\\x|y", "d:\\"}) {
    auto parsed = ParseInterpreterLine(" pkzip.exe " + CommandArgument(path) + " -z <" +
                                       CommandArgument("c:\\my comment.txt"));
    ASSERT_TRUE(parsed) << path;
    EXPECT_EQ(parsed->words, (Words{"pkzip.exe", path, "-z"}));
    EXPECT_EQ(parsed->input, "c:\\my comment.txt");
    EXPECT_EQ(parsed->output, "");
  }
}

class RunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    programs.Set("recorder", std::string(KELVO_TEST_BIN_DIR) + "/argv_recorder");
    record = t.Host('e', "record.txt");
    setenv("KELVO_RECORD", record.c_str(), 1);
    unsetenv("KELVO_READ_STDIN");
    unsetenv("KELVO_WRITE_STDOUT");
    unsetenv("KELVO_EXIT");
  }
  Words Recorded() { return SplitLines(TempDrives::ReadFile(record)); }

  TempDrives t;
  FileSystem fs{t.table};
  ProgramTable programs;
  std::string record;
};

TEST_F(RunnerTest, PassesDosArgumentsAndTheCurrentDirectory) {
  std::filesystem::create_directories(t.Host('d', "Work"));
  fs.ChangeDrive('d');
  fs.ChangeDir("d:\\work");
  CommandRunner runner(fs, programs);
  setenv("KELVO_EXIT", "3", 1);
  auto r = runner.ExecCmd("C:\\Tools\\RECORDER.EXE a -r \"d:\\my dir\\\" c:\\x\xC3\xA9.rar ");
  EXPECT_TRUE(r.started);
  EXPECT_EQ(r.exitStatus, 3);
  EXPECT_EQ(Recorded(),
            (Words{"a", "-r", "d:\\my dir\\", "c:\\x\xC3\xA9.rar", "cwd=" + t.Host('d', "Work")}));
}

TEST_F(RunnerTest, InterpreterRedirectsThroughTheDriveTable) {
  CommandRunner runner(fs, programs);
  TempDrives::WriteFile(t.Host('c', "comment.txt"), "line 1\r\n.\r\n");
  setenv("KELVO_READ_STDIN", "1", 1);
  setenv("KELVO_WRITE_STDOUT", "1", 1);
  auto r = runner.ExecCmd(
      "command.com /c recorder.exe d:\\zips\\DEMO02 -z <C:\\COMMENT.TXT >d:\\out.txt");
  ASSERT_TRUE(r.started) << r.error;
  EXPECT_EQ(TempDrives::ReadFile(record),
            "d:\\zips\\DEMO02\n-z\ncwd=" + t.Host('c') + "\nstdin=line 1\r\n.\r\n");
  EXPECT_EQ(TempDrives::ReadFile(t.Host('d', "out.txt")), "hello from recorder\n");
  runner.ExecCmd("command.pif /c recorder >>d:\\out.txt");
  EXPECT_EQ(TempDrives::ReadFile(t.Host('d', "out.txt")),
            "hello from recorder\nhello from recorder\n");
}

TEST_F(RunnerTest, FailuresReturnAtOnceAndRunNothing) {
  CommandRunner runner(fs, programs);
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(runner.ExecCmd("missing.exe a b").started);
  EXPECT_FALSE(runner.ExecCmd("").started);
  EXPECT_FALSE(runner.ExecCmd("recorder \"unbalanced").started);
  EXPECT_FALSE(runner.ExecCmd("command.com /c recorder >d:\\no\\such\\dir\\out.txt").started);
  EXPECT_FALSE(runner.ExecCmd("command.com /c recorder <d:\\missing.txt").started);
  EXPECT_FALSE(runner.ExecCmd("command.com /c recorder >q:\\x").started);
  EXPECT_FALSE(runner.ExecCmd("command.com recorder").started);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_FALSE(TempDrives::FileExists(record));

  programs.Set("broken", t.Host('e', "not-a-program"));
  TempDrives::WriteFile(t.Host('e', "not-a-program"), "junk");
  CommandRunner runner2(fs, programs);
  EXPECT_FALSE(runner2.ExecCmd("broken").started);
}

TEST_F(RunnerTest, ShellTextInPathsStaysText) {
  CommandRunner runner(fs, programs);
  std::string marker = t.Host('e', "pwned");
  std::string evil =
      "d:\\a; touch " + marker + " $(touch " + marker + ") `touch " + marker + "` 'q'";
  auto r = runner.ExecCmd("command.com /c recorder \"" + evil + "\" >d:\\out.txt");
  ASSERT_TRUE(r.started);
  EXPECT_EQ(Recorded()[0], evil);
  EXPECT_FALSE(TempDrives::FileExists(marker));
}

TEST_F(RunnerTest, StartDetachedDoesNotWaitAndShortNamesAreThePath) {
  CommandRunner runner(fs, programs);
  auto r = runner.StartDetached("recorder c:\\~kelvo.diz");
  EXPECT_TRUE(r.started);
  for (int i = 0; i < 200 && !TempDrives::FileExists(record); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(TempDrives::FileExists(record));
  EXPECT_FALSE(runner.StartDetached("nothing.exe").started);

  TempDrives::WriteFile(t.Host('c', "app/temp/Long Name.txt"), "x");
  EXPECT_EQ(runner.GetShortFileName("c:\\app\\temp\\long name.txt"),
            "c:\\app\\temp\\long name.txt");
  EXPECT_EQ(runner.GetShortFileName("c:\\app\\temp\\missing.txt"), "");
}

TEST_F(RunnerTest, AStopEndsTheProgramWaitedForUnlessItMayFinish) {
  programs.Set("sleep", "/bin/sleep");
  CommandRunner runner(fs, programs);
  InstallStopHandlers();
  ClearStopSignal();
  std::thread signaller([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ::kill(::getpid(), SIGTERM);
  });
  auto start = std::chrono::steady_clock::now();
  auto r = runner.ExecCmd("sleep 30");
  signaller.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(StopSignal(), SIGTERM);
  EXPECT_EQ(r.exitStatus, 128 + SIGTERM);

  // With the stop already noted, a step that must finish still runs to its end.
  start = std::chrono::steady_clock::now();
  r = runner.ExecCmd("sleep 0.3", OnStop::Finish);
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
  ClearStopSignal();
}

TEST_F(RunnerTest, AWaitedProgramHasAProcessGroupOfItsOwn) {
  // A Ctrl-C at the terminal must reach this program alone, which then
  // decides what to stop.
  programs.Set("cat", "/bin/cat");
  CommandRunner runner(fs, programs);
  ASSERT_TRUE(runner.ExecCmd("command.com /c cat /proc/self/stat >e:\\stat.txt").started);
  std::istringstream stat(TempDrives::ReadFile(t.Host('e', "stat.txt")));
  std::string pid, name, state;
  long group = 0;
  stat >> pid >> name >> state >> group >> group;
  EXPECT_EQ(std::to_string(group), pid);
  EXPECT_NE(group, static_cast<long>(::getpgrp()));
}

}  // namespace kelvo::host

namespace kelvo::host {

TEST(ProgressLines, TakesWholeLinesInAnyPiecesAndSkipsTheRest) {
  ProgressLines lines;
  EXPECT_EQ(lines.Feed("1"), std::vector<int>{});
  EXPECT_EQ(lines.Feed("2\n3"), std::vector<int>{12});
  EXPECT_EQ(lines.Feed("7\n100\n0\n"), (std::vector<int>{37, 100, 0}));
  // Not percentages: too large, too long, signed, empty, words.
  EXPECT_EQ(lines.Feed("101\n0050\n-5\n\n5%\nabc\n42\n"), std::vector<int>{42});
}

TEST_F(RunnerTest, AWatchedProgramReportsItsPercentagesWhileTheCallerTicks) {
  programs.Set("sh", "/bin/sh");
  CommandRunner runner(fs, programs);
  std::vector<int> reported;
  int ticks = 0;
  WaitCallbacks callbacks;
  callbacks.progress = [&](int percent) { reported.push_back(percent); };
  callbacks.tick = [&] {
    ++ticks;
    return false;
  };
  callbacks.tickMs = 10;
  auto r = runner.ExecCmd(
      "sh -c \"for p in 5 37 100; do echo $p >&$KELVO32_PROGRESS_FD; sleep 0.1; done; exit 4\"",
      callbacks);
  ASSERT_TRUE(r.started) << r.error;
  EXPECT_EQ(r.exitStatus, 4);
  EXPECT_FALSE(r.stopAsked);
  EXPECT_EQ(reported, (std::vector<int>{5, 37, 100}));
  // The caller's events ran all along, not only at the reports.
  EXPECT_GE(ticks, 15);

  // The last line before the end is not lost, and the caller ticks after
  // it to show it; a program that reports nothing still ticks.
  reported.clear();
  bool tickedAfter = false;
  callbacks.tick = [&] {
    tickedAfter = !reported.empty();
    ++ticks;
    return false;
  };
  r = runner.ExecCmd("sh -c \"echo 99 >&3; exit 0\"", callbacks);
  EXPECT_EQ(reported, std::vector<int>{99});
  EXPECT_TRUE(tickedAfter);
  ticks = 0;
  r = runner.ExecCmd("sh -c \"sleep 0.2\"", callbacks);
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_GE(ticks, 5);
}

TEST_F(RunnerTest, ATickAskingToStopEndsTheProgramOnce) {
  programs.Set("sh", "/bin/sh");
  CommandRunner runner(fs, programs);
  std::vector<int> reported;
  int asked = 0;
  WaitCallbacks callbacks;
  callbacks.progress = [&](int percent) { reported.push_back(percent); };
  callbacks.tick = [&] {
    bool stop = !reported.empty();
    asked += stop;
    return stop;
  };
  auto start = std::chrono::steady_clock::now();
  // It writes a line when told to stop, then ends: the wait waits for that.
  auto r = runner.ExecCmd(
      "sh -c \"trap 'echo 31 >&3; exit 9' TERM; echo 30 >&3; while :; do sleep 0.05; done\"",
      callbacks);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_TRUE(r.stopAsked);
  EXPECT_EQ(r.exitStatus, 9);
  EXPECT_EQ(reported, (std::vector<int>{30, 31}));
  EXPECT_GE(asked, 1);
}

TEST_F(RunnerTest, OnlyAWatchedProgramIsToldOfAChannel) {
  // A channel named by whoever started us is no channel of our children.
  setenv(kProgressFdVar, "7", 1);
  programs.Set("sh", "/bin/sh");
  CommandRunner runner(fs, programs);
  const char* line = "command.com /c sh -c \"echo ${KELVO32_PROGRESS_FD:-none}\" >e:\\fd.txt";
  runner.ExecCmd(line);
  EXPECT_EQ(TempDrives::ReadFile(t.Host('e', "fd.txt")), "none\n");
  WaitCallbacks callbacks;
  runner.ExecCmd(line, callbacks);
  EXPECT_EQ(TempDrives::ReadFile(t.Host('e', "fd.txt")), "3\n");
  unsetenv(kProgressFdVar);
}

}  // namespace kelvo::host
