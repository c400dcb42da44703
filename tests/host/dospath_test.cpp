#include "host/dospath.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

TEST(DosPath, WhatADosNameCantHold) {
  EXPECT_EQ(PathProblem("d:\\my src\\r\xC3\xA9l.nfo"), "");
  EXPECT_EQ(PathProblem("d:\\"), "");
  EXPECT_EQ(PathProblem(""), "");
  EXPECT_EQ(PathProblem("d:\\a>b"), "can't use 'd:\\a>b': a DOS name can't hold '>'");
  for (char c : std::string("\"<>|*?"))
    EXPECT_NE(PathProblem(std::string("d:\\a") + c + "b"), "") << c;
  EXPECT_EQ(PathProblem("d:\\a\tb"),
            "can't use 'd:\\a\tb': a DOS name can't hold a control character");
  EXPECT_NE(PathProblem(std::string("d:\\a\0b", 6)), "");
  EXPECT_EQ(PathProblem("d:\\a:b"), "can't use 'd:\\a:b': a DOS name can't hold ':'");

  EXPECT_EQ(NameProblem("DEMO"), "");
  EXPECT_EQ(NameProblem("a>h:.bashrc"), "can't use 'a>h:.bashrc': a DOS name can't hold '>'");
  EXPECT_EQ(NameProblem("a/b"), "can't use 'a/b': a DOS name can't hold '/'");
  EXPECT_NE(NameProblem("a:b"), "");
  EXPECT_NE(NameProblem("..\\x"), "");
}

TEST(DosPath, EveryControlByteIsRefusedAndNothingAboveIt) {
  std::vector<unsigned char> controls;
  for (unsigned char c = 0x01; c < 0x20; ++c) controls.push_back(c);
  controls.push_back(0x7F);
  for (unsigned char c : controls) {
    const std::string name = std::string("a") + static_cast<char>(c) + "b";
    const std::string path = "d:\\" + name;
    EXPECT_EQ(PathProblem(path),
              "can't use '" + path + "': a DOS name can't hold a control character")
        << int(c);
    EXPECT_EQ(NameProblem(name),
              "can't use '" + name + "': a DOS name can't hold a control character")
        << int(c);
  }
  // The space and every byte of a code page's upper half are name characters.
  for (unsigned c = 0x80; c <= 0xFF; ++c) {
    const std::string name = std::string("a") + static_cast<char>(c) + "b";
    EXPECT_EQ(PathProblem("d:\\" + name), "") << c;
    EXPECT_EQ(NameProblem(name), "") << c;
  }
  EXPECT_EQ(PathProblem("d:\\a b"), "");
  EXPECT_EQ(NameProblem("a b"), "");
}

TEST(DosPath, SlashSeparatesAndFileNamesStandAlone) {
  EXPECT_EQ(FileNamePart("c:\\rel\\x/../../../../etc/target"), "target");
  EXPECT_EQ(FileNamePart("c:/rel/demo.nfo"), "demo.nfo");
  EXPECT_EQ(Parent("c:\\rel/demo.nfo"), "c:\\rel");
  EXPECT_TRUE(IsPlainFileName("demo.nfo"));
  for (const char* bad : {"", ".", "..", "a/b", "a\\b"}) EXPECT_FALSE(IsPlainFileName(bad)) << bad;
}

}  // namespace kelvo::dos
