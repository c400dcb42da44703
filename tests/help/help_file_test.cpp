// Reading the help file: the manual whole, and the bounds of what is read.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <cstring>

#include "manual.h"
#include "viewer/help_file.h"

namespace kelvo::help {
namespace {

void Write(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  ASSERT_EQ(file.write(bytes), bytes.size());
}

TEST(HelpFileTest, TheManualIsReadWholeAsUtf8) {
  const HelpFile file = ReadHelpFile(KELVO_HELP_FILE);
  EXPECT_TRUE(file.problem.isEmpty()) << file.problem.toStdString();
  EXPECT_EQ(file.html, Manual());
  EXPECT_GT(file.html.size(), 1000);
}

TEST(HelpFileTest, TheLimitIsInclusiveAndOnlyRegularFilesAreRead) {
  QTemporaryDir temp;
  ASSERT_TRUE(temp.isValid());
  const QString path = temp.path() + "/k.hlp";
  Write(path, "<p>\xC3\xA9t\xC3\xA9</p>");  // 12 bytes
  HelpFile file = ReadHelpFile(path.toStdString(), 12);
  EXPECT_EQ(file.html, QString::fromUtf8("<p>\xC3\xA9t\xC3\xA9</p>"));
  EXPECT_TRUE(file.problem.isEmpty());
  file = ReadHelpFile(path.toStdString(), 11);
  EXPECT_EQ(file.problem, "it is too large: 12 bytes, at most 11 bytes");
  EXPECT_TRUE(file.html.isEmpty());

  EXPECT_EQ(ReadHelpFile((temp.path() + "/none.hlp").toStdString()).problem, "it does not exist");
  EXPECT_EQ(ReadHelpFile((path + "/under.hlp").toStdString()).problem, "it does not exist");
  EXPECT_EQ(ReadHelpFile(temp.path().toStdString()).problem, "it is a directory");

  const std::string socketPath = (temp.path() + "/s.hlp").toStdString();
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(sock, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  std::strcpy(address.sun_path, socketPath.c_str());
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  EXPECT_EQ(ReadHelpFile(socketPath).problem, "it is a socket, not a file");
  ::close(sock);
  EXPECT_EQ(ReadHelpFile("/dev/null").problem, "it is a device, not a file");
}

}  // namespace
}  // namespace kelvo::help
