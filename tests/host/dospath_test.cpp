#include "host/dospath.h"

#include <gtest/gtest.h>

namespace kelvo::dos {

TEST(DosPath, CaseIsAsciiOnlyAndKeepsHighBytes) {
  EXPECT_EQ(Lower("C:\\Rel\\\xC3\x89t\xE9.NFO"), "c:\\rel\\\xC3\x89t\xE9.nfo");
  EXPECT_EQ(Upper("d:\\gÄmes"), "D:\\GÄMES");
  EXPECT_TRUE(EqualNoCase("C:\\GAMES", "c:\\games"));
  EXPECT_FALSE(EqualNoCase("c:\\games", "c:\\gamesx"));
}

TEST(DosPath, DrivesRootsAndParts) {
  EXPECT_EQ(DriveLetter("D:\\x"), 'd');
  EXPECT_EQ(DriveLetter("\\x"), 0);
  EXPECT_EQ(DriveLetter("1:\\x"), 0);
  EXPECT_TRUE(IsDriveRoot("d:\\"));
  EXPECT_FALSE(IsDriveRoot("d:"));
  EXPECT_FALSE(IsDriveRoot("d:\\a"));
  EXPECT_TRUE(IsAbsolute("d:\\a"));
  EXPECT_FALSE(IsAbsolute("d:a"));

  EXPECT_EQ(Join("d:\\", "a"), "d:\\a");
  EXPECT_EQ(Join("d:\\src", "a b.txt"), "d:\\src\\a b.txt");
  EXPECT_EQ(Parent("c:\\a\\b"), "c:\\a");
  EXPECT_EQ(Parent("c:\\a"), "c:\\");
  EXPECT_EQ(Parent("c:\\"), "c:\\");
  EXPECT_EQ(FileNamePart("c:\\rel\\demo.nfo"), "demo.nfo");
  EXPECT_EQ(FileNamePart("demo.nfo"), "demo.nfo");
  EXPECT_EQ(FileNamePart("d:\\"), "");
  EXPECT_EQ(Components("c:\\a\\\\b/c\\"), (std::vector<std::string>{"a", "b", "c"}));
}

TEST(DosPath, Wildcards) {
  EXPECT_TRUE(MatchWildcard("*.*", "README"));
  EXPECT_TRUE(MatchWildcard("*.*", "a.b.c"));
  EXPECT_TRUE(MatchWildcard("*.iso", "CD.ISO"));
  EXPECT_FALSE(MatchWildcard("*.iso", "cd.iso.bak"));
  EXPECT_TRUE(MatchWildcard("DEMO*", "demo01.zip"));
  EXPECT_TRUE(MatchWildcard("DEMO*", "DEMO"));
  EXPECT_FALSE(MatchWildcard("DEMO*", "xdemo"));
  EXPECT_TRUE(MatchWildcard("kelvo???", "Kelvo001"));
  EXPECT_FALSE(MatchWildcard("kelvo???", "Kelvo1000"));
  EXPECT_TRUE(MatchWildcard("file_id.diz", "FILE_ID.DIZ"));
  EXPECT_TRUE(MatchWildcard("name.*", "name"));
  EXPECT_TRUE(MatchWildcard("a*b*c", "aXbYbZc"));
}

}  // namespace kelvo::dos
