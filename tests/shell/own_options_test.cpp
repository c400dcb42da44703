#include "shell/own_options.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace kelvo::shell {
namespace {

std::optional<OwnOption> Read(std::vector<const char*> args) {
  args.insert(args.begin(), "kelvo32");
  return ReadOwnOption(static_cast<int>(args.size()), args.data());
}

TEST(OwnOptions, OnlyAFirstArgumentWithADashIsOurs) {
  EXPECT_EQ(Read({"--help"}), OwnOption::Help);
  EXPECT_EQ(Read({"-h"}), OwnOption::Help);
  EXPECT_EQ(Read({"--version"}), OwnOption::Version);
  EXPECT_EQ(Read({"--test", "/srv/rel/DEMO.sfv"}), OwnOption::Test);
  EXPECT_EQ(Read({"--resume-all"}), OwnOption::Unknown);
  EXPECT_EQ(Read({"-x.kvo"}), OwnOption::Unknown);
  // The command line of a job, whatever follows.
  EXPECT_FALSE(Read({}));
  EXPECT_FALSE(Read({"!-x.kvo"}));
  EXPECT_FALSE(Read({"$--help"}));
  EXPECT_FALSE(Read({"d:\\jobs\\job.kvo", "--help"}));
}

TEST(OwnOptions, TheUsageAndTheManPageNameTheSameFormsAndStatuses) {
  std::ifstream in(KELVO_MAN_PAGE);
  ASSERT_TRUE(in) << KELVO_MAN_PAGE;
  std::stringstream man;
  man << in.rdbuf();
  const std::string usage = UsageText();
  EXPECT_NE(man.str().find(".B " + std::string("0\n")), std::string::npos);
  for (const char* status : {"0", "1", "2", "3", "4", "5", "6", "7", "8"}) {
    EXPECT_NE(usage.find(std::string("\n  ") + status + "  "), std::string::npos) << status;
    EXPECT_NE(man.str().find(std::string(".B ") + status + "\n"), std::string::npos) << status;
  }
  EXPECT_NE(usage.find("130, 143"), std::string::npos);
  for (const char* form : {"'!JOB.kvo'", "'$JOB.kvo'", "--test SET", "--version"})
    EXPECT_NE(usage.find(form), std::string::npos) << form;
  EXPECT_NE(man.str().find(VersionLine().substr(0, VersionLine().size() - 1)), std::string::npos)
      << "the man page's header names another version than " << VersionLine();
}

}  // namespace
}  // namespace kelvo::shell
