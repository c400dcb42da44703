#include "scripts/job_script.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "core/exit_status.h"
#include "support/temp_drives.h"

namespace kelvo {

using testing::TempDrives;
using testing::TestApp;

namespace {

const char* const kExample =
    "Kelvo32 script - 12-07-1998  21:05:09\r\n"
    "Source: d:\\games\\demo\r\n"
    "Skip: \r\n"
    "d:\\games\\demo\\temp\\*.*\r\n"
    "\r\n"
    "Diz: c:\\rel\\file_id.diz\r\n"
    "AutoN: True\r\n"
    "Col: 30\r\n"
    "Lin: 2\r\n"
    "Nfo: c:\\rel\\demo.nfo\r\n"
    " 1st: 1\r\n"
    " File:False\r\n"
    " Extra:c:\\rel\\extras\r\n"
    "Zip: e:\\out\r\n"
    " name:demo\r\n"
    " Size: 3\r\n"
    " Solid: 5\r\n"
    " Extra: 0\r\n";

JobSettings ExampleJob() {
  JobSettings job;
  job.SourcePath = "d:\\games\\demo";
  job.SkipEntries = "d:\\games\\demo\\temp\\*.*\r\n";
  job.DizPath = "c:\\rel\\file_id.diz";
  job.DizNumbering = true;
  job.DizColumn = "30";
  job.DizLine = "2";
  job.NfoPath = "c:\\rel\\demo.nfo";
  job.NfoFirstZipOnly = true;
  job.ExtraKind = ExtraKindChoice::Directory;
  job.ExtraPath = "c:\\rel\\extras";
  job.ZipStorageDir = "e:\\out";
  job.ZipBaseName = "demo";
  job.ArchiveSize = 3;
  job.Compression = 5;
  job.ZipExtra = false;
  return job;
}

// A job whose every file exists on the test drives.
struct LoadableJob : TestApp {
  LoadableJob() {
    TempDrives::WriteFile(drives.Host('d', "games/demo/a.txt"), "a");
    TempDrives::WriteFile(drives.Host('d', "games/demo/temp/t.txt"), "t");
    TempDrives::WriteFile(drives.Host('c', "rel/file_id.diz"),
                          "Demo release\r\n  xx/xx disks.............\r\n");
    TempDrives::WriteFile(drives.Host('c', "rel/demo.nfo"), "nfo\r\n");
    TempDrives::WriteFile(drives.Host('c', "rel/extras/x.txt"), "x");
    std::filesystem::create_directories(drives.Host('e', "out"));
  }
  void WriteScript(const std::string& text) {
    TempDrives::WriteFile(drives.Host('c', "job.kvo"), text);
    ctx.ScriptPath = "c:\\job.kvo";
  }
  // The load check, keeping the status a refusal ends an unattended run with.
  void Check() {
    auto refusal = CheckLoadedJob(ctx);
    status = refusal ? std::optional<int>(refusal->status) : std::nullopt;
  }
  std::optional<int> status;
};

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  auto pos = text.find(from);
  EXPECT_NE(pos, std::string::npos) << from;
  return text.replace(pos, from.size(), to);
}

}  // namespace

TEST(ScriptFormat, WritesTheExampleExactly) {
  testing::FixedClock clock;
  EXPECT_EQ(ScriptText(ExampleJob(), clock.Now()), kExample);

  JobSettings empty;
  empty.Compression = 3;
  empty.ArchiveSize = 0;
  empty.ZipExtra = true;
  std::string text = ScriptText(empty, clock.Now());
  EXPECT_NE(text.find("Source: \r\nSkip: \r\n\r\nDiz: \r\n"), std::string::npos);
  EXPECT_NE(text.find(" File:False\r\n"), std::string::npos);
  EXPECT_NE(text.find(" Size: 0\r\n"), std::string::npos);
  EXPECT_TRUE(text.ends_with(" Extra:-1\r\n"));

  // A typed last entry without its CR LF loses the end line of the block.
  empty.SkipEntries = "c:\\a\r\nc:\\b";
  EXPECT_NE(ScriptText(empty, clock.Now()).find("Skip: \r\nc:\\a\r\nc:\\b\r\nDiz: "),
            std::string::npos);
}

TEST(ScriptFormat, Conversions) {
  using namespace script_values;
  EXPECT_EQ(ToFlag("True"), true);
  EXPECT_EQ(ToFlag("fALSE"), false);
  EXPECT_EQ(ToFlag(" 0"), false);
  EXPECT_EQ(ToFlag("-1"), true);
  EXPECT_EQ(ToFlag("yes"), std::nullopt);
  EXPECT_EQ(ToFlag(""), std::nullopt);
  EXPECT_EQ(ToFlag("1x"), std::nullopt);
  EXPECT_EQ(LeadingNumber(" 3"), 3.0);
  EXPECT_EQ(LeadingNumber("-1"), -1.0);
  EXPECT_EQ(LeadingNumber("12abc"), 12.0);
  EXPECT_EQ(LeadingNumber("abc"), 0.0);
  EXPECT_EQ(LeadingNumber(""), 0.0);
  EXPECT_EQ(ToInt16(LeadingNumber(std::string(5000, '9'))), std::nullopt);
  EXPECT_EQ(ToInt16(2.5), 2);  // half to even
  EXPECT_EQ(ToInt16(3.5), 4);
  EXPECT_EQ(ToInt16(32767.0), 32767);
  EXPECT_EQ(ToInt16(32768.0), std::nullopt);
  EXPECT_EQ(ToInt16(-32769.0), std::nullopt);
}

TEST(ScriptFormat, SaveAndReadRoundTripByteForByte) {
  LoadableJob app;
  JobSettings job = ExampleJob();
  // High bytes and UTF-8 in every text field come back unchanged.
  job.SourcePath = "d:\\\xC3\xA9t\xE9 src";
  job.SkipEntries = "d:\\\xC3\xA9t\xE9 src\\\xB0\xB1\\*.*\r\nd:\\x.txt\r\n";
  job.DizPath = "c:\\rel\\\x81.diz";
  job.NfoPath = "c:\\rel\\\xCD.nfo";
  job.ExtraPath = "c:\\\xE9xtra";
  job.ZipStorageDir = "e:\\";
  job.ZipBaseName = "d\xC3\xA9mo";
  job.ZipExtra = true;
  job.Compression = 0;
  app.ctx.job = job;
  app.ui.fileAnswers.push_back("C:\\Rel\\Demo.KVO");
  std::filesystem::create_directories(app.drives.Host('c', "rel"));
  TempDrives::WriteFile(app.drives.Host('c', "rel/demo.kvo"), "old");
  SaveScript(app.ctx);
  ASSERT_EQ(app.ui.dialogs.size(), 1u);
  EXPECT_EQ(app.ui.dialogs[0].title, "Save script");
  EXPECT_EQ(app.ui.dialogs[0].filter, "Script (*.kvo)|*.kvo|");
  EXPECT_EQ(app.ui.dialogs[0].initialName, "*.kvo");
  EXPECT_EQ(app.ui.dialogs[0].initialDir, "c:\\app");
  EXPECT_EQ(app.ctx.ScriptPath, "c:\\rel\\demo.kvo");
  EXPECT_EQ(app.ctx.view.WindowTitle, "Kelvo32 - demo.kvo");

  app.ctx.job = JobSettings{};
  ASSERT_TRUE(ReadScript(app.ctx));
  const JobSettings& back = app.ctx.job;
  EXPECT_EQ(back.SourcePath, job.SourcePath);
  EXPECT_EQ(back.SkipEntries, job.SkipEntries);
  EXPECT_EQ(back.DizPath, job.DizPath);
  EXPECT_EQ(back.DizNumbering, job.DizNumbering);
  EXPECT_EQ(back.DizColumn, job.DizColumn);
  EXPECT_EQ(back.DizLine, job.DizLine);
  EXPECT_EQ(back.NfoPath, job.NfoPath);
  EXPECT_EQ(back.NfoFirstZipOnly, job.NfoFirstZipOnly);
  EXPECT_EQ(back.ExtraKind, job.ExtraKind);
  EXPECT_EQ(back.ExtraPath, job.ExtraPath);
  EXPECT_EQ(back.ZipStorageDir, job.ZipStorageDir);
  EXPECT_EQ(back.ZipBaseName, job.ZipBaseName);
  EXPECT_EQ(back.ArchiveSize, job.ArchiveSize);
  EXPECT_EQ(back.Compression, job.Compression);
  EXPECT_EQ(back.ZipExtra, job.ZipExtra);
  EXPECT_TRUE(app.ui.messages.empty());
}

// On Linux a lower-cased name is another file: a new script keeps the case
// typed, and gets ".kvo" when it has no extension.
TEST(ScriptFormat, ANewScriptKeepsTheCaseTypedAndGetsItsExtension) {
  TestApp app;
  std::filesystem::create_directories(app.drives.Host('c', "jobs"));
  for (const auto& [typed, saved, file] :
       std::vector<std::tuple<std::string, std::string, std::string>>{
           {"c:\\jobs\\MyRelease", "c:\\jobs\\MyRelease.kvo", "MyRelease.kvo"},
           {"c:\\jobs\\Other.KVO", "c:\\jobs\\Other.KVO", "Other.KVO"},
           {"c:\\jobs\\notes.txt", "c:\\jobs\\notes.txt", "notes.txt"}}) {
    app.ui.fileAnswers.push_back(typed);
    SaveScript(app.ctx);
    EXPECT_EQ(app.ctx.ScriptPath, saved);
    EXPECT_TRUE(TempDrives::FileExists(app.drives.Host('c', "jobs/" + file))) << file;
  }
}

TEST(ScriptFormat, SaveFailuresAreSilent) {
  TestApp app;
  app.ui.fileAnswers.push_back(std::nullopt);
  SaveScript(app.ctx);
  EXPECT_EQ(app.ctx.ScriptPath, "");
  EXPECT_EQ(app.ctx.view.WindowTitle, "Kelvo32");

  app.ui.fileAnswers.push_back("c:\\no\\such\\dir\\job.kvo");
  SaveScript(app.ctx);
  EXPECT_EQ(app.ctx.ScriptPath, "c:\\no\\such\\dir\\job.kvo");  // kept: the failure came later
  EXPECT_EQ(app.ctx.view.WindowTitle, "Kelvo32");
  EXPECT_TRUE(app.ui.messages.empty());
}

TEST(ScriptReading, ExtraKindSpellings) {
  LoadableJob app;
  struct Case {
    const char* text;
    ExtraKindChoice before, after;
  } cases[] = {
      {"False", ExtraKindChoice::File, ExtraKindChoice::Directory},
      {"false", ExtraKindChoice::None, ExtraKindChoice::File},
      {"True", ExtraKindChoice::Directory, ExtraKindChoice::File},
      {"0", ExtraKindChoice::File, ExtraKindChoice::None},
      {"0", ExtraKindChoice::Directory, ExtraKindChoice::Directory},
      {" false ", ExtraKindChoice::None, ExtraKindChoice::File},
      {" 0 ", ExtraKindChoice::File, ExtraKindChoice::None},
  };
  for (const auto& c : cases) {
    app.WriteScript(Replace(kExample, " File:False", std::string(" File:") + c.text));
    app.ctx.job.ExtraKind = c.before;
    EXPECT_TRUE(ReadScript(app.ctx)) << c.text;
    EXPECT_EQ(app.ctx.job.ExtraKind, c.after) << c.text;
  }
}

TEST(ScriptReading, MalformedScriptsKeepWhatWasRead) {
  LoadableJob app;
  // Cut inside the skip block: the entries read so far stay, later fields do not change.
  app.WriteScript("Kelvo32 script\r\nSource: d:\\src\r\nSkip: \r\nd:\\a\\*.*\r\nd:\\b.txt\r\n");
  app.ctx.job.DizPath = "c:\\earlier.diz";
  EXPECT_FALSE(ReadScript(app.ctx));
  EXPECT_EQ(app.ctx.job.SourcePath, "d:\\src");
  EXPECT_EQ(app.ctx.job.SkipEntries, "d:\\a\\*.*\r\nd:\\b.txt\r\n");
  EXPECT_EQ(app.ctx.job.DizPath, "c:\\earlier.diz");
  ASSERT_EQ(app.ui.messages.size(), 1u);
  EXPECT_EQ(app.ui.messages[0].text,
            "Error in Kelvo script\r"
            "can't read 'c:\\job.kvo': line 6: the script ends before the empty line that ends "
            "the skip list");
  EXPECT_EQ(app.ui.messages[0].title, "Kelvo32 error");
  EXPECT_EQ(app.ui.messages[0].icon, MessageIcon::Critical);

  // Each refusal names its line and why.
  const std::tuple<const char*, const char*, const char*> bad[] = {
      {"AutoN: True", "AutoN: maybe", "line 7: AutoN maybe is not True, False or a number"},
      {" 1st: 1", " 1st: 2", "line 11: 1st 2 is not 0 or 1"},
      {" Size: 3", " Size: 200", "line 16: Size 200 is not 0 to 199"},
      {" Size: 3", " Size: -1", "line 16: Size -1 is not 0 to 199"},
      {" Solid: 5", " Solid: 6", "line 17: Solid 6 is not 0 to 5"},
      {" Solid: 5", " Solid: 99999", "line 17: Solid 99999 is not 0 to 5"},
      {" Extra: 0", " Extra: 3", "line 18: Extra 3 is not 0 or -1"},
      {" File:False", " File:maybe", "line 12: File maybe is not True, False or a number"},
  };
  for (auto [from, to, reason] : bad) {
    app.WriteScript(Replace(kExample, from, to));
    EXPECT_FALSE(ReadScript(app.ctx)) << to;
    EXPECT_EQ(app.ui.messages.back().text,
              std::string("Error in Kelvo script\rcan't read 'c:\\job.kvo': ") + reason);
  }
  app.WriteScript(std::string(kExample).substr(0, std::string(kExample).rfind(" Extra:")));
  EXPECT_FALSE(ReadScript(app.ctx));
  EXPECT_TRUE(
      app.ui.messages.back().text.ends_with("line 18: the script ends before the line ' Extra:'"))
      << app.ui.messages.back().text;
  app.ctx.ScriptPath = "c:\\missing.kvo";
  EXPECT_FALSE(ReadScript(app.ctx));
  EXPECT_TRUE(app.ui.messages.back().text.ends_with("can't read 'c:\\missing.kvo': no such file"));

  // In batch mode nothing is shown: the reason is reported and the program
  // ends before anything is packaged.
  size_t shown = app.ui.messages.size();
  app.ctx.batchMode = BatchMode::Plain;
  app.ui.unattended = true;
  EXPECT_FALSE(ReadScript(app.ctx));
  EXPECT_EQ(app.ui.messages.size(), shown);
  EXPECT_EQ(app.ui.reports, std::vector<std::string>{"can't read 'c:\\missing.kvo': no such file"});
}

TEST(ScriptReading, AFailedReadAppliesExactlyTheFieldsBeforeIt) {
  // The parse stops at the failing line, with that line's number.
  ScriptParse parse = ParseScript(Replace(kExample, " Size: 3", " Size: 200"));
  ASSERT_TRUE(parse.error);
  EXPECT_EQ(parse.error->line, 16u);
  EXPECT_EQ(parse.error->reason, "line 16: Size 200 is not 0 to 199");
  EXPECT_EQ(parse.values.zipBaseName, "demo");
  EXPECT_FALSE(parse.values.archiveSize);
  EXPECT_FALSE(parse.values.compression);

  // A refused size: the name read before it keeps the single-zip limit,
  // the size and what follows stay as they were.
  LoadableJob app;
  app.ctx.job.ArchiveSize = 3;
  app.ctx.job.Compression = 2;
  app.ctx.view.BaseNameLimit = 6;
  app.WriteScript(Replace(Replace(kExample, " name:demo", " name:averyveryverylongname12345"),
                          " Size: 3", " Size: 200"));
  EXPECT_FALSE(ReadScript(app.ctx));
  EXPECT_EQ(app.ctx.job.ZipBaseName, "averyveryverylongnam");
  EXPECT_EQ(app.ctx.view.BaseNameLimit, 20);
  EXPECT_EQ(app.ctx.job.ArchiveSize, 3);
  EXPECT_EQ(app.ctx.job.Compression, 2);

  // A script that ends after the storage line: the name keeps its text but
  // the limit is the single zip's already.
  app.ctx.view.BaseNameLimit = 6;
  app.ctx.job.ZipBaseName = "old";
  std::string text = kExample;
  app.WriteScript(text.substr(0, text.find(" name:")));
  EXPECT_FALSE(ReadScript(app.ctx));
  EXPECT_EQ(app.ctx.job.ZipStorageDir, "e:\\out");
  EXPECT_EQ(app.ctx.job.ZipBaseName, "old");
  EXPECT_EQ(app.ctx.view.BaseNameLimit, 20);
}

TEST(ScriptFormat, SizeIsReadOneCharacterAfterItsKey) {
  LoadableJob app;
  app.WriteScript(Replace(kExample, " Size: 3", " Size:12"));
  ASSERT_TRUE(ReadScript(app.ctx));
  EXPECT_EQ(app.ctx.job.ArchiveSize, 2);
  app.WriteScript(Replace(kExample, " Size: 3", " Size: 12"));
  ASSERT_TRUE(ReadScript(app.ctx));
  EXPECT_EQ(app.ctx.job.ArchiveSize, 12);
  // Both ends of the range are sizes of their own.
  for (int size : {199, 0}) {
    app.WriteScript(Replace(kExample, " Size: 3", " Size: " + std::to_string(size)));
    EXPECT_TRUE(ReadScript(app.ctx)) << size;
    EXPECT_EQ(app.ctx.job.ArchiveSize, size);
  }
  EXPECT_TRUE(app.ui.messages.empty()) << app.ui.messages.front().text;
  // Every other value starts right after its key.
  app.WriteScript(Replace(kExample, " Solid: 5", " Solid:4"));
  ASSERT_TRUE(ReadScript(app.ctx));
  EXPECT_EQ(app.ctx.job.Compression, 4);
}

TEST(ScriptReading, HostileInputIsRefusedOrBounded) {
  LoadableJob app;
  app.WriteScript(std::string(kMaxScriptBytes + 1, 'x'));
  EXPECT_FALSE(ReadScript(app.ctx));

  std::string hugeLine =
      Replace(kExample, "Source: d:\\games\\demo", "Source: " + std::string(1 << 20, 'a'));
  app.WriteScript(hugeLine);
  EXPECT_TRUE(ReadScript(app.ctx));
  EXPECT_EQ(app.ctx.job.SourcePath.size(), 1u << 20);

  std::string many;
  for (int i = 0; i < 100000; ++i) many += "d:\\skip\\" + std::to_string(i) + "\r\n";
  app.ctx.job.SkipEntries.clear();
  app.WriteScript(Replace(kExample, "d:\\games\\demo\\temp\\*.*\r\n", many));
  EXPECT_TRUE(ReadScript(app.ctx));
  EXPECT_EQ(app.ctx.job.SkipEntries, many);

  std::string binary(kExample);
  binary[20] = '\0';
  binary.insert(40, std::string("\x00\xFF\x1A", 3));
  app.WriteScript(binary);
  ReadScript(app.ctx);  // loads or refuses; must not crash

  // The script path names a directory.
  app.ctx.ScriptPath = "c:\\rel";
  EXPECT_FALSE(ReadScript(app.ctx));
}

TEST(ScriptReading, BaseNameLimitFollowsTheArchiveSize) {
  LoadableJob app;
  app.WriteScript(Replace(Replace(kExample, " name:demo", " name:averyveryverylongname12345"),
                          " Size: 3", " Size: 0"));
  ASSERT_TRUE(ReadScript(app.ctx));
  EXPECT_EQ(app.ctx.job.ZipBaseName, "averyveryverylongnam");
  EXPECT_EQ(app.ctx.view.BaseNameLimit, 20);

  app.WriteScript(Replace(kExample, " name:demo", " name:averyveryverylongname12345"));
  ASSERT_TRUE(ReadScript(app.ctx));
  EXPECT_EQ(app.ctx.job.ZipBaseName, "averyv");
  EXPECT_EQ(app.ctx.view.BaseNameLimit, 6);
  EXPECT_EQ(app.ctx.view.ArchiveSizeText, "1.44 M");
}

TEST(ScriptCheck, ACompleteJobPasses) {
  LoadableJob app;
  app.WriteScript(Replace(kExample, "AutoN: True", "AutoN: False"));
  ASSERT_TRUE(ReadScript(app.ctx));
  app.Check();
  EXPECT_TRUE(app.ctx.LoadCheckPassed);
  // The skip entries were checked through "text.tmp", which is gone again.
  EXPECT_FALSE(TempDrives::FileExists(app.drives.Host('c', "app/text.tmp")));
}

TEST(ScriptCheck, MissingFilesAreClearedAndTheirPanelShown) {
  struct Case {
    std::function<void(LoadableJob&)> breakIt;
    Panel panel;
    std::function<void(const JobSettings&)> expect;
  };
  std::vector<Case> cases = {
      {[](LoadableJob& a) { std::filesystem::remove_all(a.drives.Host('d', "games")); },
       Panel::Source,
       [](const JobSettings& j) {
         EXPECT_EQ(j.SourcePath, "");
         EXPECT_EQ(j.SkipEntries, "");
       }},
      {[](LoadableJob& a) { std::filesystem::remove_all(a.drives.Host('d', "games/demo/temp")); },
       Panel::Skip, [](const JobSettings& j) { EXPECT_EQ(j.SkipEntries, ""); }},
      {[](LoadableJob& a) { std::filesystem::remove(a.drives.Host('c', "rel/file_id.diz")); },
       Panel::Diz, [](const JobSettings& j) { EXPECT_EQ(j.DizPath, ""); }},
      {[](LoadableJob& a) { std::filesystem::remove(a.drives.Host('c', "rel/demo.nfo")); },
       Panel::Nfo, [](const JobSettings& j) { EXPECT_EQ(j.NfoPath, "c:\\rel\\demo.nfo"); }},
      {[](LoadableJob& a) { std::filesystem::remove_all(a.drives.Host('c', "rel/extras")); },
       Panel::Nfo, [](const JobSettings& j) { EXPECT_EQ(j.ExtraPath, ""); }},
      {[](LoadableJob& a) { std::filesystem::remove_all(a.drives.Host('e', "out")); }, Panel::Zip,
       [](const JobSettings& j) { EXPECT_EQ(j.ZipStorageDir, ""); }},
  };
  for (auto& c : cases) {
    LoadableJob app;
    app.WriteScript(Replace(kExample, "AutoN: True", "AutoN: False"));
    c.breakIt(app);
    ASSERT_TRUE(ReadScript(app.ctx));
    app.Check();
    EXPECT_FALSE(app.ctx.LoadCheckPassed);
    EXPECT_EQ(app.ctx.view.VisiblePanel, c.panel);
    c.expect(app.ctx.job);
  }
}

TEST(ScriptCheck, SkipCheckLeavesTextTmpWhenAnEntryIsMissing) {
  LoadableJob app;
  std::string script = Replace(kExample, "d:\\games\\demo\\temp\\*.*\r\n",
                               "d:\\games\\demo\\a.txt\r\nd:\\games\\demo\\gone\\*.*\r\n");
  app.WriteScript(Replace(script, "AutoN: True", "AutoN: False"));
  ASSERT_TRUE(ReadScript(app.ctx));
  app.Check();
  EXPECT_EQ(app.ctx.view.VisiblePanel, Panel::Skip);
  EXPECT_EQ(app.ctx.job.SkipEntries, "");
  EXPECT_EQ(TempDrives::ReadFile(app.drives.Host('c', "app/text.tmp")),
            "d:\\games\\demo\\a.txt\r\nd:\\games\\demo\\gone\\*.*\r\n\r\n");
}

TEST(ScriptCheck, ASkipEntrysLastComponentIsAPatternAsTheArchiverReadsIt) {
  LoadableJob app;
  TempDrives::WriteFile(app.drives.Host('d', "games/demo/a1b.txt"), "1");
  TempDrives::WriteFile(app.drives.Host('d', "games/demo/secret/key"), "k");
  const std::string noNumbering = Replace(kExample, "AutoN: True", "AutoN: False");
  auto check = [&](const std::string& entry) {
    app.WriteScript(Replace(noNumbering, "d:\\games\\demo\\temp\\*.*\r\n", entry + "\r\n"));
    EXPECT_TRUE(ReadScript(app.ctx)) << entry;
    app.ctx.view.VisiblePanel = Panel::Source;
    app.Check();
    if (!app.ctx.LoadCheckPassed) {
      EXPECT_EQ(app.ctx.view.VisiblePanel, Panel::Skip) << entry;
    }
    return app.ctx.LoadCheckPassed;
  };
  // What the archiver would leave out is accepted; a pattern that matches
  // nothing is as missing as a name.
  EXPECT_TRUE(check("d:\\games\\demo\\a*b.txt"));
  EXPECT_TRUE(check("d:\\games\\demo\\A?B.TXT"));
  EXPECT_TRUE(check("d:\\games\\demo\\sec*"));  // a trailing '*' takes directories
  EXPECT_FALSE(check("d:\\games\\demo\\x*y.txt"));
  EXPECT_FALSE(check("d:\\games\\demo\\secre?"));  // any other pattern files only
  // Only the last component is a pattern.
  EXPECT_FALSE(check("d:\\games\\d*o\\a1b.txt"));
  // A name that holds '*' matches itself.
  TempDrives::WriteFile(app.drives.Host('d', "games/demo/only*.txt"), "*");
  EXPECT_TRUE(check("d:\\games\\demo\\only*.txt"));
}

TEST(ScriptCheck, BaseNameRules) {
  LoadableJob app;
  app.WriteScript(
      Replace(Replace(kExample, "AutoN: True", "AutoN: False"), " name:demo", " name:de mo"));
  ASSERT_TRUE(ReadScript(app.ctx));
  app.Check();
  EXPECT_FALSE(app.ctx.LoadCheckPassed);
  EXPECT_EQ(app.ui.MessageTexts(), std::vector<std::string>{"Spaces aren't allowed in filename"});
  EXPECT_EQ(app.ctx.job.ZipBaseName, "");
  EXPECT_EQ(app.ctx.view.Focus, FocusBox::ZipBaseName);

  LoadableJob batch;
  batch.ctx.batchMode = BatchMode::Plain;
  batch.ui.unattended = true;
  batch.WriteScript(
      Replace(Replace(kExample, "AutoN: True", "AutoN: False"), " name:demo", " name:de mo"));
  ASSERT_TRUE(ReadScript(batch.ctx));
  batch.Check();
  EXPECT_FALSE(batch.ctx.LoadCheckPassed);
  EXPECT_TRUE(batch.ui.messages.empty());
  EXPECT_EQ(batch.ctx.job.ZipBaseName, "");  // as in the window: one way to refuse
  EXPECT_EQ(batch.status, kExitJobIncomplete);
  EXPECT_EQ(batch.ui.reports, std::vector<std::string>{"Spaces aren't allowed in filename"});

  // Without zips only the base name is checked.
  LoadableJob noZips;
  noZips.ctx.job.SaveAsZips = false;
  noZips.WriteScript(Replace(
      Replace(Replace(kExample, "AutoN: True", "AutoN: False"), "Nfo: c:\\rel\\demo.nfo", "Nfo: "),
      "Zip: e:\\out", "Zip: "));
  ASSERT_TRUE(ReadScript(noZips.ctx));
  noZips.Check();
  EXPECT_TRUE(noZips.ctx.LoadCheckPassed);
}

TEST(ScriptCheck, NamesThatAreNoDosNamesAreRefused) {
  struct Case {
    const char *from, *to;
    Panel panel;
    std::string JobSettings::*field;
    const char* problem;
  } cases[] = {
      {"Source: d:\\games\\demo", "Source: d:\\src\" \"z:\\secret", Panel::Source,
       &JobSettings::SourcePath, "can't use 'd:\\src\" \"z:\\secret': a DOS name can't hold '\"'"},
      {"Diz: c:\\rel\\file_id.diz", "Diz: c:\\rel\\*.diz", Panel::Diz, &JobSettings::DizPath,
       "can't use 'c:\\rel\\*.diz': a DOS name can't hold '*'"},
      {"Nfo: c:\\rel\\demo.nfo", "Nfo: c:\\rel\\d?mo.nfo", Panel::Nfo, &JobSettings::NfoPath,
       "can't use 'c:\\rel\\d?mo.nfo': a DOS name can't hold '?'"},
      {" Extra:c:\\rel\\extras", " Extra:c:\\rel\\ex|tras", Panel::Nfo, &JobSettings::ExtraPath,
       "can't use 'c:\\rel\\ex|tras': a DOS name can't hold '|'"},
      {"Zip: e:\\out", "Zip: e:\\out>h:.bashrc", Panel::Zip, &JobSettings::ZipStorageDir,
       "can't use 'e:\\out>h:.bashrc': a DOS name can't hold '>'"},
      {" name:demo", " name:a<h", Panel::Zip, &JobSettings::ZipBaseName,
       "can't use 'a<h': a DOS name can't hold '<'"},
      {" name:demo", " name:..\\x", Panel::Zip, &JobSettings::ZipBaseName,
       "can't use '..\\x': a DOS name can't hold '\\'"},
      {" name:demo",
       " name:a\x1B"
       "b",
       Panel::Zip, &JobSettings::ZipBaseName,
       "can't use 'a\x1B"
       "b': a DOS name can't hold a control character"},
  };
  for (const auto& c : cases) {
    LoadableJob app;
    app.WriteScript(Replace(Replace(kExample, "AutoN: True", "AutoN: False"), c.from, c.to));
    ASSERT_TRUE(ReadScript(app.ctx)) << c.to;
    app.Check();
    EXPECT_FALSE(app.ctx.LoadCheckPassed) << c.to;
    EXPECT_EQ(app.ui.MessageTexts(), std::vector<std::string>{c.problem});
    EXPECT_EQ(app.ctx.view.VisiblePanel, c.panel) << c.to;
    EXPECT_EQ(app.ctx.job.*c.field, "") << c.to;

    LoadableJob batch;
    batch.ctx.batchMode = BatchMode::Plain;
    batch.ui.unattended = true;
    batch.WriteScript(Replace(Replace(kExample, "AutoN: True", "AutoN: False"), c.from, c.to));
    ASSERT_TRUE(ReadScript(batch.ctx));
    batch.Check();
    EXPECT_FALSE(batch.ctx.LoadCheckPassed);
    EXPECT_TRUE(batch.ui.messages.empty());
    EXPECT_EQ(batch.ui.reports, std::vector<std::string>{c.problem});
    EXPECT_EQ(batch.status, kExitJobIncomplete) << c.to;
  }
}

TEST(ScriptCheck, BatchStopsSayWhy) {
  LoadableJob app;
  app.ctx.batchMode = BatchMode::Plain;
  app.ui.unattended = true;
  std::filesystem::remove(app.drives.Host('c', "rel/demo.nfo"));
  app.WriteScript(Replace(kExample, "AutoN: True", "AutoN: False"));
  ASSERT_TRUE(ReadScript(app.ctx));
  app.Check();
  EXPECT_FALSE(app.ctx.LoadCheckPassed);
  EXPECT_EQ(app.ui.reports, std::vector<std::string>{"The nfo 'c:\\rel\\demo.nfo' is missing"});
  EXPECT_EQ(app.status, kExitScriptRejected);
}

TEST(ScriptCheck, DizNumberingIsCheckedLast) {
  LoadableJob app;
  app.WriteScript(kExample);  // column 30 on a 25-character line 2
  ASSERT_TRUE(ReadScript(app.ctx));
  app.Check();
  EXPECT_FALSE(app.ctx.LoadCheckPassed);
  EXPECT_EQ(app.ctx.view.VisiblePanel, Panel::Diz);
  EXPECT_EQ(app.ui.MessageTexts(), std::vector<std::string>{"Column number too high"});

  LoadableJob fits;
  fits.WriteScript(Replace(kExample, "Col: 30", "Col: 3"));
  ASSERT_TRUE(ReadScript(fits.ctx));
  fits.Check();
  EXPECT_TRUE(fits.ctx.LoadCheckPassed);

  LoadableJob batch;
  batch.ctx.batchMode = BatchMode::Dated;
  batch.ui.unattended = true;
  batch.WriteScript(Replace(kExample, "Col: 30", "Col: "));
  ASSERT_TRUE(ReadScript(batch.ctx));
  batch.Check();
  EXPECT_FALSE(batch.ctx.LoadCheckPassed);
  EXPECT_EQ(batch.status, kExitScriptRejected);
  EXPECT_EQ(batch.ui.reports, std::vector<std::string>{"No column is given for the numbering"});

  // A position that does not fit the DIZ is a wrong setting.
  LoadableJob tooFar;
  tooFar.ctx.batchMode = BatchMode::Plain;
  tooFar.ui.unattended = true;
  tooFar.WriteScript(kExample);
  ASSERT_TRUE(ReadScript(tooFar.ctx));
  tooFar.Check();
  EXPECT_FALSE(tooFar.ctx.LoadCheckPassed);
  EXPECT_EQ(tooFar.status, kExitJobIncomplete);
  EXPECT_EQ(tooFar.ui.reports, std::vector<std::string>{"Column number too high"});
}

TEST(OpenScriptCommand, CancelStillClearsTheSkipListAndIso) {
  LoadableJob app;
  app.ctx.job.SkipEntries = "d:\\x\r\n";
  app.ctx.job.SourceIsImage = true;
  app.ui.fileAnswers.push_back(std::nullopt);
  OpenScript(app.ctx);
  EXPECT_EQ(app.ctx.job.SkipEntries, "");
  EXPECT_FALSE(app.ctx.job.SourceIsImage);
  EXPECT_FALSE(app.ctx.LoadCheckPassed);
  EXPECT_EQ(app.ui.dialogs.at(0).title, "Open script");
  EXPECT_EQ(app.ctx.view.WindowTitle, "Kelvo32");
}

}  // namespace kelvo

namespace kelvo {

TEST(OpenScriptCommand, LoadsChecksMeasuresAndNamesTheWindow) {
  LoadableJob app;
  TempDrives::WriteFile(app.drives.Host('c', "app/jobs/Demo.kvo"),
                        Replace(kExample, "AutoN: True", "AutoN: False"));
  app.ui.fileAnswers.push_back("C:\\APP\\JOBS\\DEMO.KVO");
  OpenScript(app.ctx);
  EXPECT_EQ(app.ui.dialogs.at(0).initialDir, "c:\\app");
  EXPECT_EQ(app.ui.dialogs.at(0).filter, "Script (*.kvo)|*.kvo|");
  EXPECT_EQ(app.ctx.ScriptPath, "c:\\app\\jobs\\demo.kvo");
  EXPECT_TRUE(app.ctx.LoadCheckPassed);
  EXPECT_EQ(app.ctx.job.SkipEntries, "d:\\games\\demo\\temp\\*.*\r\n");
  // The source was measured by the size tool: two files of one byte.
  EXPECT_NE(app.ctx.view.SourceSizeText.find("2 bytes"), std::string::npos)
      << app.ctx.view.SourceSizeText;
  EXPECT_EQ(app.ctx.job.SourceSize, 0.0f);
  EXPECT_TRUE(app.ctx.view.ZipDriveFreeText.starts_with("Free space  "))
      << app.ctx.view.ZipDriveFreeText;
  EXPECT_EQ(app.ctx.view.WindowTitle, "Kelvo32 - demo.kvo");
}

}  // namespace kelvo
