// The help viewer's arguments and the index it reads out of the manual.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <set>

#include "manual.h"
#include "viewer/help_index.h"

namespace kelvo::help {
namespace {

QStringList Texts(const std::vector<IndexEntry>& entries) {
  QStringList texts;
  for (const auto& entry : entries) texts << entry.text;
  return texts;
}

TEST(HelpArgsTest, PathAloneOpensTheContents) {
  auto request = ParseHelpArgs({"c:\\kelvo\\kelvo32.hlp"});
  ASSERT_TRUE(request);
  EXPECT_EQ(request->dosPath, "c:\\kelvo\\kelvo32.hlp");
  EXPECT_FALSE(request->index);
}

TEST(HelpArgsTest, UnquotedPathWithBlanksIsJoinedWithSingleBlanks) {
  auto request = ParseHelpArgs({"h:\\my", "tools\\kelvo", "32\\kelvo32.hlp"});
  ASSERT_TRUE(request);
  EXPECT_EQ(request->dosPath, "h:\\my tools\\kelvo 32\\kelvo32.hlp");
}

TEST(HelpArgsTest, IndexFlagComesFirstInEitherSpellingAndCase) {
  for (const QString flag : {"-index", "/index", "-INDEX", "/Index"}) {
    auto request = ParseHelpArgs({flag, "c:\\a", "b\\kelvo32.hlp"});
    ASSERT_TRUE(request) << flag.toStdString();
    EXPECT_TRUE(request->index) << flag.toStdString();
    EXPECT_EQ(request->dosPath, "c:\\a b\\kelvo32.hlp");
  }
  // Only the first word is a flag: later ones belong to the path.
  auto later = ParseHelpArgs({"c:\\a", "-index"});
  ASSERT_TRUE(later);
  EXPECT_FALSE(later->index);
  EXPECT_EQ(later->dosPath, "c:\\a -index");
}

TEST(HelpArgsTest, NoPathIsNoRequest) {
  EXPECT_FALSE(ParseHelpArgs({}));
  EXPECT_FALSE(ParseHelpArgs({"-index"}));
  EXPECT_FALSE(ParseHelpArgs({"-index", ""}));
}

TEST(HelpIndexTest, HeadingsWithIdsBecomeSortedEntries) {
  const QString html =
      "<h1 id='top'>Zebra</h1>\n"
      "<h2 class=\"x\" id=\"b\">apple <b>pie</b></h2>\n"
      "<h3>No anchor</h3>\n"
      "<h5 id=\"deep\">Too deep</h5>\n"
      "<H4 ID=\"m\">Multi\n   line &amp; &lt;tagged&gt;</H4>\n"
      "<p id=\"para\">A paragraph</p>";
  auto entries = ParseIndex(html);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].text, "apple pie");
  EXPECT_EQ(entries[0].anchor, "b");
  EXPECT_EQ(entries[1].text, "Multi line & <tagged>");
  EXPECT_EQ(entries[1].anchor, "m");
  EXPECT_EQ(entries[2].text, "Zebra");
  EXPECT_EQ(entries[2].anchor, "top");
}

TEST(HelpIndexTest, KeywordsJumpToTheirHeading) {
  auto entries = ParseIndex(
      "<h2 id=\"zip\" data-keywords=\"base name; ; Compression \">Zip panel</h2>"
      "<h2 data-keywords=\"lost\">Unanchored</h2>");
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(Texts(entries), QStringList({"base name", "Compression", "Zip panel"}));
  for (const auto& entry : entries) EXPECT_EQ(entry.anchor, "zip");
  // data-id is not id.
  EXPECT_TRUE(ParseIndex("<h2 data-id=\"x\">Title</h2>").empty());
}

TEST(HelpIndexTest, FilterNeedsEveryWordInAnyCase) {
  const IndexEntry entry{"Zip storage directory", "zip"};
  EXPECT_TRUE(MatchesFilter(entry, ""));
  EXPECT_TRUE(MatchesFilter(entry, "   "));
  EXPECT_TRUE(MatchesFilter(entry, "STOR"));
  EXPECT_TRUE(MatchesFilter(entry, "dir  zip"));
  EXPECT_FALSE(MatchesFilter(entry, "zip nfo"));
  EXPECT_FALSE(MatchesFilter(entry, "zipstorage"));
}

TEST(HelpManualTest, IndexHoldsEveryPanelAndTopic) {
  const QStringList texts = Texts(ParseIndex(Manual()));
  for (const char* title :
       {"Source panel", "Skip panel", "Diz panel", "Nfo panel", "Zip panel", "Kelvo! panel",
        "About panel", "A run step by step", "Job scripts", "Unattended runs", "Exit statuses",
        "Drives", "Files Kelvo32 leaves", "host.ini", "Kelvo32.ini", "FILE_ID.DIZ"})
    EXPECT_TRUE(texts.contains(title)) << title;
}

TEST(HelpManualTest, EveryEntryAndContentsLinkMeetsARealHeading) {
  const QString html = Manual();
  const auto entries = ParseIndex(html);
  std::set<QString> headingAnchors;
  for (const auto& entry : entries) headingAnchors.insert(entry.anchor);

  for (const auto& entry : entries)
    EXPECT_TRUE(html.contains(QString("id=\"%1\"").arg(entry.anchor)))
        << entry.anchor.toStdString();

  static const QRegularExpression link("href=\"#([^\"]+)\"");
  int links = 0;
  for (auto it = link.globalMatch(html); it.hasNext(); ++links) {
    const QString anchor = it.next().captured(1);
    EXPECT_TRUE(headingAnchors.count(anchor)) << anchor.toStdString();
  }
  EXPECT_GE(links, 15);
}

TEST(HelpManualTest, TellsEveryExitStatusAndCaptionsWithoutAmpersands) {
  const QString html = Manual();
  for (const char* status : {"0", "1", "2", "3", "4", "5", "6", "7", "130, 143"})
    EXPECT_TRUE(html.contains(QString("<td>%1</td>").arg(status))) << status;
  // Captions are written as the user reads them: "Browse", never "&Browse".
  static const QRegularExpression accelerator("&[A-Za-z][a-z ]*[^;a-z]");
  auto match = accelerator.match(html);
  EXPECT_FALSE(match.hasMatch()) << match.captured().toStdString();
}

}  // namespace
}  // namespace kelvo::help
