#include "archiver/archiver_args.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "archiver/stand_in.h"
#include "host/dospath.h"

namespace kelvo::archiver {

namespace {

using Words = std::vector<std::string>;

// A drive table in miniature: "d:\src" -> "/D/src", "x" -> "/CWD/x"; q: is
// not mapped.
std::optional<std::string> FakeHost(std::string_view dosPath) {
  char letter = dos::DriveLetter(dosPath);
  if (!letter) return "/CWD/" + std::string(dosPath);
  if (letter == 'q') return std::nullopt;
  std::string host = "/" + std::string(1, static_cast<char>(letter - 'a' + 'A'));
  for (const auto& c : dos::Components(dosPath)) host += "/" + c;
  return host;
}

// argv in -> 7zz argv out, through the same steps as the stand-in.
Words SevenZipFor(Flavour flavour, const Words& args, const Words& skipEntries = {}) {
  auto parsed = ParseArchiverArgs(flavour, args);
  if (auto* error = std::get_if<ArgError>(&parsed)) return {"error: " + error->Text()};
  const Request& request = std::get<Request>(parsed);
  std::vector<HostSource> sources;
  for (const auto& s : request.sources) sources.push_back({*FakeHost(s), dos::IsDriveRoot(s)});
  std::string archive = *FakeHost(request.archive);
  std::string dir = archive.substr(0, archive.find_last_of('/'));
  std::string name = archive.substr(archive.find_last_of('/') + 1);
  return SevenZipArgs(request, dir + "/" + SevenZipArchiveName(name), sources,
                      ExcludedArchivePaths(skipEntries, sources, FakeHost));
}

}  // namespace

TEST(SevenZipFor, TheRunsCommandLinesForEachArchiveSize) {
  const std::string a = "c:\\Kelvo001\\DEMO.rar", e = "c:\\Kelvo001\\DEMO.ace";
  const std::string set = "/C/Kelvo001/DEMO.7z";
  // Sizes 0, 1, 2, 3, 4, 199 as the run writes them: RAR in bytes, ACE in
  // thousands of bytes and without a switch for one archive.
  struct Size {
    const char *rar, *ace, *sevenZip;
  };
  const Size sizes[] = {{"-v0000b", "", ""},
                        {"-v500000b", "-v500", "-v500000b"},
                        {"-v1000000b", "-v1000", "-v1000000b"},
                        {"-v1440000b", "-v1440", "-v1440000b"},
                        {"-v2000000b", "-v2000", "-v2000000b"},
                        {"-v99500000b", "-v99500", "-v99500000b"}};
  for (const auto& size : sizes) {
    Words out = {"a",     "-t7z", "-mx3", size.sevenZip, "-y", "-bso0",
                 "-bsp0", "-snl", "-spd", "--",          set,  "/D/src"};
    if (!*size.sevenZip) out.erase(out.begin() + 3);
    EXPECT_EQ(SevenZipFor(Flavour::Rar, {"a", "-r", size.rar, "-m3", "-y", a, "d:\\src"}), out);
    Words ace = {"a", "-r", "-y", size.ace, "-m3", e, "d:\\src"};
    if (!*size.ace) ace.erase(ace.begin() + 3);  // the blank between -y and -m3
    EXPECT_EQ(SevenZipFor(Flavour::Ace, ace), out);
  }

  struct Row {
    Flavour flavour;
    Words in;
    Words out;
  };
  const Row rows[] = {
      // A RAR size without "b" counts thousands, as ACE's does.
      {Flavour::Rar,
       {"a", "-v1440", a, "d:\\src"},
       {"a", "-t7z", "-mx3", "-v1440000b", "-bso0", "-bsp0", "-snl", "-spd", "--", set, "/D/src"}},
      // The three-digit name, a drive root, a CD image, switches after the
      // files and in capitals; no -y asked, none given.
      {Flavour::Rar,
       {"A", "c:\\Kelvo001\\DEMO.001", "d:\\", "-V1440000B", "-M5"},
       {"a", "-t7z", "-mx9", "-v1440000b", "-bso0", "-bsp0", "-snl", "-spd", "--", set, "/D/."}},
      {Flavour::Ace,
       {"a", "-y", "-v10000", "-m0", e, "e:\\cd\\demo.iso"},
       {"a", "-t7z", "-mx0", "-v10000000b", "-y", "-bso0", "-bsp0", "-snl", "-spd", "--", set,
        "/E/cd/demo.iso"}},
      // "--" ends the switches.
      {Flavour::Rar,
       {"a", "-y", "--", a, "-x@odd"},
       {"a", "-t7z", "-mx3", "-y", "-bso0", "-bsp0", "-snl", "-spd", "--", set, "/CWD/-x@odd"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.in));
    EXPECT_EQ(SevenZipFor(row.flavour, row.in), row.out);
  }
}

TEST(SevenZipFor, LevelsMapThroughOneTable) {
  const char* expected[] = {"-mx0", "-mx1", "-mx2", "-mx3", "-mx5", "-mx9"};
  for (int level = 0; level <= 5; ++level) {
    for (Flavour flavour : {Flavour::Rar, Flavour::Ace}) {
      Words out =
          SevenZipFor(flavour, {"a", "-m" + std::to_string(level), "c:\\w\\x.rar", "d:\\src"});
      ASSERT_GE(out.size(), 3u);
      EXPECT_EQ(out[2], expected[level]) << level;
    }
  }
  // No -m: the archivers' own default, "Normal".
  EXPECT_EQ(SevenZipFor(Flavour::Ace, {"a", "c:\\w\\x.ace", "d:\\src"})[2], "-mx3");
}

TEST(SevenZipFor, TheDefaultLineWithItsSkipList) {
  Words in = {
      "a", "-r", "-v1440000b", "-m3", "-y", "c:\\Kelvo001\\DEMO.rar", "d:\\src", "-x@c:\\skip.txt"};
  Words entries = {"d:\\src\\save\\*.*", "d:\\src\\readme.txt"};
  EXPECT_EQ(SevenZipFor(Flavour::Rar, in, entries),
            (Words{"a", "-t7z", "-mx3", "-v1440000b", "-y", "-bso0", "-bsp0", "-snl", "-spd",
                   "-xr-!src/save", "-xr-!src/readme.txt", "--", "/C/Kelvo001/DEMO.7z", "/D/src"}));
  auto request = std::get<Request>(ParseArchiverArgs(Flavour::Rar, in));
  EXPECT_EQ(request.excludeList, "c:\\skip.txt");
  EXPECT_TRUE(request.recurse);
  EXPECT_TRUE(request.assumeYes);
  EXPECT_EQ(request.switches, (Words{"-r", "-v1440000b", "-m3", "-y", "-x@c:\\skip.txt"}));
}

TEST(SevenZipFor, ExclusionsAreLiteralSaveTheWholeDrive) {
  Words in = {"a", "-r", "c:\\K\\DEMO.rar", "d:\\", "-x@c:\\skip.txt"};
  EXPECT_EQ(SevenZipFor(Flavour::Rar, in, {"d:\\a*b.txt", "d:\\*.*"}),
            (Words{"a", "-t7z", "-mx3", "-bso0", "-bsp0", "-snl", "-spd", "-xr-!a*b.txt", "-xr-w!*",
                   "--", "/C/K/DEMO.7z", "/D/."}));
}

TEST(ParseArchiverArgs, BadInputIsOneCantLine) {
  struct Row {
    Flavour flavour;
    Words in;
    std::string error;
  };
  const std::string a = "c:\\w\\x.rar";
  const Row rows[] = {
      {Flavour::Rar, {"a", "-q", a, "d:\\s"}, "can't use switch '-q': unknown switch"},
      {Flavour::Rar, {"a", "-m6", a, "d:\\s"}, "can't use switch '-m6': unknown switch"},
      {Flavour::Rar, {"a", "-m", a, "d:\\s"}, "can't use switch '-m': unknown switch"},
      {Flavour::Rar, {"a", "-mx3", a, "d:\\s"}, "can't use switch '-mx3': unknown switch"},
      {Flavour::Rar, {"a", "-ry", a, "d:\\s"}, "can't use switch '-ry': unknown switch"},
      {Flavour::Rar, {"a", "-v12k", a, "d:\\s"}, "can't use switch '-v12k': unknown switch"},
      {Flavour::Rar, {"a", "-vb", a, "d:\\s"}, "can't use switch '-vb': unknown switch"},
      {Flavour::Ace, {"a", "-v1440b", a, "d:\\s"}, "can't use switch '-v1440b': unknown switch"},
      {Flavour::Rar,
       {"a", "-v99999999999999999999b", a, "d:\\s"},
       "can't use switch '-v99999999999999999999b': volume size too large"},
      {Flavour::Ace, {"a", "-x@", a, "d:\\s"}, "can't use switch '-x@': no list file named"},
      {Flavour::Rar, {"x", a, "d:\\s"}, "can't run command 'x': only 'a' (add) is supported"},
      {Flavour::Rar, {}, "can't read command line '': no command given"},
      {Flavour::Rar, {"a", "-y"}, "can't read command line 'a -y': no archive named"},
      {Flavour::Ace, {"a", a}, "can't read command line 'a c:\\w\\x.rar': no file to add"},
      {Flavour::Ace, {"a", a, ""}, "can't read command line 'a c:\\w\\x.rar ': empty file name"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.in));
    EXPECT_EQ(SevenZipFor(row.flavour, row.in), Words{"error: " + row.error});
  }
}

TEST(ExcludedArchivePaths, EntriesBecomeExactArchivePaths) {
  const std::vector<HostSource> dir = {{"/D/games/src", false}};
  const std::vector<HostSource> root = {{"/D", true}};
  const std::vector<HostSource> image = {{"/E/cd/demo.iso", false}};
  struct Row {
    Words entries;
    std::vector<HostSource> sources;
    Words paths;
  };
  const Row rows[] = {
      // A directory entry names the directory itself (and so all below it).
      {{"d:\\games\\src\\save\\*.*"}, dir, {"src/save"}},
      {{"d:\\games\\src\\a*b\\*.*"}, dir, {"src/a*b"}},
      {{"d:\\games\\src\\read me.txt"}, dir, {"src/read me.txt"}},
      // Any other '*' or '?' is part of a name, matched as it stands.
      {{"d:\\games\\src\\logs\\*.bak", "d:\\games\\src\\q?.txt"},
       dir,
       {"src/logs/*.bak", "src/q?.txt"}},
      {{"d:\\games\\src\\a\\b c\\*"}, dir, {"src/a/b c/*"}},
      // Outside the source, relative, blank, unmapped: nothing.
      {{"d:\\games\\srcx\\a.txt", "d:\\games\\a.txt", "src\\save\\*.*", "", "q:\\src\\a"}, dir, {}},
      // The source itself, and a doubled entry.
      {{"d:\\games\\src\\*.*", "d:\\games\\src\\x", "d:\\games\\src\\x"}, dir, {"src", "src/x"}},
      // A drive root has no prefix; the whole drive is everything.
      {{"d:\\save\\*.*", "d:\\top.txt"}, root, {"save", "top.txt"}},
      {{"d:\\*.*"}, root, {""}},
      // A CD image is one file.
      {{"e:\\cd\\demo.iso", "e:\\cd\\other.iso"}, image, {"demo.iso"}},
      // UTF-8 and bytes above 0x80 pass through.
      {{"d:\\games\\src\\\xC3\xBC\\*.*", "d:\\games\\src\\\x81\xB0.nfo"},
       dir,
       {"src/\xC3\xBC", "src/\x81\xB0.nfo"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.entries));
    EXPECT_EQ(ExcludedArchivePaths(row.entries, row.sources, FakeHost), row.paths);
  }
  // A linked source is stored under the name of what it links to.
  EXPECT_EQ(
      ExcludedArchivePaths({"d:\\rel\\a\\*.*"}, {{"/D/rel", false, "/D/build/r42"}}, FakeHost),
      Words{"r42/a"});
  // Two sources: each entry goes with the source it is under.
  EXPECT_EQ(ExcludedArchivePaths({"e:\\b\\x\\*.*", "d:\\a\\y"}, {{"/D/a", false}, {"/E/b", false}},
                                 FakeHost),
            (Words{"b/x", "a/y"}));
}

TEST(ExcludedArchivePaths, ASlashSeparatesThePatternLikeABackslash) {
  const std::vector<HostSource> dir = {{"/D/games/src", false}};
  EXPECT_EQ(ExcludedArchivePaths(
                {"d:\\games\\src\\save/*.*", "d:\\games\\src\\logs/*.bak", "d:\\games/src/a b/*"},
                dir, FakeHost),
            (Words{"src/save", "src/logs/*.bak", "src/a b/*"}));  // "dir\*" is a file named "*"
  EXPECT_EQ(RarExcludeLines({"d:\\src\\save/*.*", "d:\\src/*.txt"}, {{"/D/src", false}}, FakeHost),
            (Words{"/D/src/save/*", "/D/src/*.txt"}));
}

TEST(ExpandSkipEntries, TheLastComponentIsADosPatternAsTheLoadCheckReadsIt) {
  // d:\src holds these; a listing of any other directory is empty.
  const ListHostDir list = [](const std::string& dir) {
    if (dir != "/D/src") return std::vector<DirEntry>{};
    return std::vector<DirEntry>{{"Secret.key", false}, {"secrets", true}, {"a*b", false},
                                 {"a1b", false},        {"ab", false},     {"qx.txt", false},
                                 {"notes", false},      {"sub", true}};
  };
  struct Row {
    Words entries, expanded;
  };
  const Row rows[] = {
      // '*' at the end takes directories too; case does not matter.
      {{"d:\\src\\secret*"}, {"d:\\src\\Secret.key", "d:\\src\\secrets"}},
      // Any other pattern takes files only; a '*' in a name matches itself.
      {{"d:\\src\\a*b"}, {"d:\\src\\a*b", "d:\\src\\a1b", "d:\\src\\ab"}},
      {{"d:\\src\\s*s?"}, {}},
      {{"d:\\src\\?x.*"}, {"d:\\src\\qx.txt"}},
      // "*.*" matches a name without an extension, as DOS reads it.
      {{"d:\\src\\note*.*"}, {"d:\\src\\notes"}},
      // The program's own "dir\*.*", plain names and relative entries stay.
      {{"d:\\src\\sub\\*.*", "d:\\src\\plain.txt", "rel\\*"},
       {"d:\\src\\sub\\*.*", "d:\\src\\plain.txt", "rel\\*"}},
      // A directory above the pattern is a name, not a pattern.
      {{"d:\\s*\\a*"}, {}},
      {{"q:\\src\\*"}, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.entries));
    Words got = ExpandSkipEntries(row.entries, FakeHost, list);
    std::sort(got.begin(), got.end());
    Words want = row.expanded;
    std::sort(want.begin(), want.end());
    EXPECT_EQ(got, want);
  }
}

TEST(SevenZipArgs, ExclusionsThatFitGoToTheListFileTheRestStayArguments) {
  for (const char* fits : {"src/a.txt", "src/\xC3\xBC", "src/\xF0\x9F\x98\x80", "src/a b"})
    EXPECT_TRUE(FitsExclusionList(fits)) << fits;
  for (const char* stays : {"src/\xE9", "src/\xC0\x80", "src/\xED\xA0\x80", "src/\xC3", " src/a",
                            "src/a ", "src/a\nb", "src/a\rb"})
    EXPECT_FALSE(FitsExclusionList(stays)) << stays;
  auto request = std::get<Request>(
      ParseArchiverArgs(Flavour::Rar, {"a", "-v0000b", "-m0", "c:\\K\\D.rar", "d:\\"}));
  Words args = SevenZipArgs(request, "/C/K/D.7z", {{"/D", true}}, {"a.txt", "", "\xE9.txt"}, false,
                            "/tmp/list");
  auto exclusions = std::find(args.begin(), args.end(), std::string("-spd"));
  ASSERT_NE(exclusions, args.end());
  Words tail(exclusions + 1, args.end());
  EXPECT_EQ(tail, (Words{"-xr-w!*", "-xr-!\xE9.txt", "-scsUTF-8", "-xr-@/tmp/list", "--",
                         "/C/K/D.7z", "/D/."}));
}

TEST(RarArgs, SameSwitchesWithHostPaths) {
  auto request = std::get<Request>(
      ParseArchiverArgs(Flavour::Rar, {"a", "-r", "-v1440000b", "-m3", "-y",
                                       "c:\\Kelvo001\\DEMO.rar", "d:\\src", "-x@c:\\skip.txt"}));
  EXPECT_EQ(RarArgs(request, "/C/Kelvo001/DEMO.rar", {"/D/src"}, "/tmp/list"),
            (Words{"a", "-r", "-v1440000b", "-m3", "-y", "-x@/tmp/list", "-ol",
                   "/C/Kelvo001/DEMO.rar", "/D/src"}));
  EXPECT_EQ(RarExcludeLines({"d:\\src\\save\\*.*", "d:\\src\\a.txt", "", "rel\\x", "q:\\x"},
                            {{"/D/src", false}}, FakeHost),
            (Words{"/D/src/save/*", "/D/src/a.txt"}));
  // rar is given what a linked source names; its entries follow.
  EXPECT_EQ(RarExcludeLines({"d:\\rel\\save\\*.*", "d:\\rel", "d:\\other\\a"},
                            {{"/D/rel", false, "/D/build/r42"}}, FakeHost),
            (Words{"/D/build/r42/save/*", "/D/build/r42", "/D/other/a"}));
}

TEST(ArchiveNames, TheSetTakesTheArchiveStem) {
  EXPECT_EQ(SevenZipArchiveName("DEMO.rar"), "DEMO.7z");
  EXPECT_EQ(SevenZipArchiveName("DEMO.001"), "DEMO.7z");
  EXPECT_EQ(SevenZipArchiveName("DEMO.ace"), "DEMO.7z");
  EXPECT_EQ(SevenZipArchiveName("DEMO"), "DEMO.7z");
  EXPECT_EQ(SevenZipArchiveName("my.rel.ace"), "my.rel.7z");

  struct Row {
    const char* name;
    bool member;
  };
  const Row rows[] = {
      {"DEMO.7z", true},   {"DEMO.7z.001", true},    {"DEMO.7z.1000", true},
      {"DEMO.rar", true},  {"DEMO.r00", true},       {"DEMO.part01.rar", true},
      {"DEMO.ace", true},  // the archive name itself
      {"DEMO.txt", false}, {"DEMO2.7z", false},      {"DEMO.7z.tmp", false},
      {"demo.7z", false},  {"DEMO.part.rar", false}, {"DEMO.r", false},
  };
  for (const auto& row : rows) EXPECT_EQ(IsSetMember(row.name, "DEMO.ace"), row.member) << row.name;
}

}  // namespace kelvo::archiver
