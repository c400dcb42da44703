// The link launcher: what reaches the desktop for each argument form, and
// the built program's status for arguments it refuses.
#include <gtest/gtest.h>

#include <QProcess>
#include <vector>

#include "launcher/dial.h"

namespace kelvo::dial {
namespace {

struct Recorder {
  std::vector<QUrl> opened;
  bool accept = true;
  UrlOpener Opener() {
    return [this](const QUrl& url) {
      opened.push_back(url);
      return accept;
    };
  }
};

TEST(WebdialTest, MailAddressReachesTheMailClientAsMailto) {
  Recorder recorder;
  QString error;
  EXPECT_EQ(Dial({">mailto:author@example.com"}, recorder.Opener(), &error), kExitOpened);
  ASSERT_EQ(recorder.opened.size(), 1u);
  EXPECT_EQ(recorder.opened[0].scheme(), "mailto");
  EXPECT_EQ(recorder.opened[0].toString(), "mailto:author@example.com");
  EXPECT_TRUE(error.isEmpty());
}

TEST(WebdialTest, MailLinkReachesTheMailClientAsItsAddressAlone) {
  const std::vector<std::pair<QString, QString>> cases = {
      {">mailto:author@example.com?attach=/etc/passwd", "mailto:author@example.com"},
      {">mailto:author@example.com?subject=hi&body=x&attach=%2Fetc%2Fshadow",
       "mailto:author@example.com"},
      {">mailto:author@example.com?cc=other@example.com#top", "mailto:author@example.com"},
      {">mailto:author@example.com#frag", "mailto:author@example.com"},
      {">MAILTO:Author@Example.COM?bcc=x@example.org", "mailto:Author@Example.COM"},
      {">mailto:%61uthor@example.com", "mailto:author@example.com"},
      {">mailto:o'neil+kelvo@mail.example.co.uk", "mailto:o'neil+kelvo@mail.example.co.uk"},
  };
  for (const auto& [arg, url] : cases) {
    Recorder recorder;
    QString error;
    EXPECT_EQ(Dial({arg}, recorder.Opener(), &error), kExitOpened)
        << arg.toStdString() << ": " << error.toStdString();
    ASSERT_EQ(recorder.opened.size(), 1u) << arg.toStdString();
    EXPECT_EQ(recorder.opened[0].toString(), url) << arg.toStdString();
    EXPECT_FALSE(recorder.opened[0].hasQuery()) << arg.toStdString();
    EXPECT_FALSE(recorder.opened[0].hasFragment()) << arg.toStdString();
  }
}

TEST(WebdialTest, WebAddressReachesTheBrowserAsHttpOrHttps) {
  const std::vector<std::pair<QString, QString>> cases = {
      {"$https://example.com/kelvo/index.html", "https://example.com/kelvo/index.html"},
      {"$http://example.com", "http://example.com"},
      {"$www.example.com/page", "http://www.example.com/page"},
  };
  for (const auto& [arg, url] : cases) {
    Recorder recorder;
    EXPECT_EQ(Dial({arg}, recorder.Opener(), nullptr), kExitOpened) << arg.toStdString();
    ASSERT_EQ(recorder.opened.size(), 1u) << arg.toStdString();
    EXPECT_EQ(recorder.opened[0].toString(), url);
  }
}

TEST(WebdialTest, RefusedArgumentsOpenNothingAndSayWhy) {
  const std::vector<QStringList> refused = {
      {},
      {""},
      {">mailto:a@example.com", "$http://example.com"},
      {"mailto:a@example.com"},
      {"http://example.com"},
      {">http://example.com"},
      {">mailto:"},
      {">mailto:nobody"},
      {"$"},
      {"$mailto:a@example.com"},
      {"$ftp://example.com"},
      {"$file:///etc/passwd"},
      // Only one plain address, not hidden behind escapes.
      {">mailto:a@example.com,b@example.com"},
      {">mailto:a@example.com;b@example.com"},
      {">mailto:a@example.com%3Fattach=/etc/passwd"},
      {">mailto:a@example.com%0D%0ABcc:b@example.com"},
      {">mailto:a%40b@example.com"},
      {">mailto:a@b@example.com"},
      {">mailto:@example.com"},
      {">mailto:a@"},
      {">mailto:a@example..com"},
      {">mailto:a@-example.com"},
      {">mailto:%22a%20b%22@example.com"},
      {">mailto:a@[192.0.2.1]"},
      {">mailto:?to=a@example.com"},
  };
  for (const auto& args : refused) {
    Recorder recorder;
    QString error;
    EXPECT_EQ(Dial(args, recorder.Opener(), &error), kExitUsage) << args.join('|').toStdString();
    EXPECT_TRUE(recorder.opened.empty()) << args.join('|').toStdString();
    EXPECT_TRUE(error.contains("webdial.exe >mailto:")) << error.toStdString();
  }
}

TEST(WebdialTest, DesktopThatCannotOpenIsAFailure) {
  Recorder recorder;
  recorder.accept = false;
  QString error;
  EXPECT_EQ(Dial({"$https://example.com"}, recorder.Opener(), &error), kExitNotOpened);
  EXPECT_EQ(recorder.opened.size(), 1u);
  EXPECT_TRUE(error.contains("https://example.com")) << error.toStdString();
}

struct Finished {
  int status;
  QString err;
};

Finished RunChild(const QString& program, const QStringList& args,
                  const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
  QProcess child;
  child.setProcessEnvironment(env);
  child.start(program, args);
  EXPECT_TRUE(child.waitForFinished(30000)) << program.toStdString();
  EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
  return {child.exitCode(), QString::fromLocal8Bit(child.readAllStandardError())};
}

TEST(WebdialProgramTest, BadArgumentsExitNonZeroWithAMessage) {
  for (const QStringList& args : {QStringList{}, QStringList{"hello"},
                                  QStringList{"$file:///etc/passwd"}, QStringList{">", "x"}}) {
    auto done = RunChild(KELVO_WEBDIAL_EXE, args);
    EXPECT_EQ(done.status, kExitUsage) << args.join('|').toStdString();
    EXPECT_TRUE(done.err.startsWith("webdial: ")) << done.err.toStdString();
    EXPECT_TRUE(done.err.contains("$<web address>")) << done.err.toStdString();
  }
}

}  // namespace
}  // namespace kelvo::dial
