// kelvo_zip_engine_bench <inputs dir> [write rounds] [check rounds]
//
// Whether our own code below libzip pays, against libzip alone, in one run:
// - writing a volume's zip (volume, DIZ, NFO) through the zip component,
//   which deflates large files on all cores, against plain libzip deflating
//   them on this thread at the same level (6 and 9), for floppy volumes of
//   7z-stored text and for one large file: the time ratio and the ratio of
//   the zips' sizes;
// - reading the zips back with our checker (run/zip_verify.h), with and
//   without the chunk map of the parallel deflate, against the libzip way
//   (libzip_check.h), for zips of stored 7z output, of deflated volumes and
//   of the large file.
// The sides of each figure take turns within every round, the one that
// goes first rotating, and the figure is the median of the rounds' ratios:
// of the time on the clock, and of the CPU the process used (all threads),
// which tells the cost of the parallel code apart from a machine that had
// no core to spare. The parallel deflate alone, on all threads against one,
// shows how much of the other cores the run got.
//
// The inputs dir, as bench_zip_engine.sh prepares it: text/ (compressible
// volumes), noise/ (volumes of 7z output), large/ (one file), file_id.diz
// and demo.nfo. The zips are written to out/ beside them.
#include <time.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "libzip_check.h"
#include "zip/check.h"
#include "zip/parallel_deflate.h"
#include "zip/write.h"

namespace fs = std::filesystem;

namespace {

// What either checker makes of a zip.
struct Checked {
  bool ok = false;
  std::string reason;
  std::uint32_t crc = 0;
  std::uint64_t bytes = 0;
};

// ---- Our engine: everything that calls into it is in these three. ----

// Writes `zipPath` holding `files` at `level` through the engine, as a run
// writes a volume's zip: one pass. One writer for the whole benchmark, as a
// run keeps one from zip to zip. "" or why not.
std::string OursWrite(const std::string& zipPath, const std::vector<std::string>& files,
                      int level) {
  static kelvo::zip::Writer writer;
  std::vector<kelvo::zip::Input> inputs;
  for (const auto& file : files) {
    const std::string name = fs::path(file).filename();
    auto input = kelvo::zip::TakeFile(file, name, name, level);
    if (!input) return input.error->message;
    inputs.push_back(std::move(input.value));
  }
  auto written = writer.Write({zipPath, zipPath}, inputs, {});
  return written ? "" : written.error->message;
}

// Our checker as the run calls it after writing a zip; `chunks` is the chunk
// map of the original's parallel deflate, or null.
Checked OursCheck(const std::string& zipPath, const std::string& entry,
                  const std::string& entryPath, const std::vector<std::uint64_t>* chunks) {
  static kelvo::zip::Checker checker;
  kelvo::zip::ChunkMap map;
  if (chunks) map[entry] = *chunks;
  auto c = checker.Check({zipPath, zipPath}, {entry, entryPath}, chunks ? &map : nullptr);
  if (!c) return {false, c.error->message, 0, 0};
  return {true, "", c.value.crc, c.value.bytes};
}

// Deflates `data` at `level` on `threads` threads the way the component
// deflates a large file, and gives the chunk map it keeps for it: the
// deflated size of each chunk. The chunks are fixed, so the map is the same
// whatever the threads, and the same as the zip's written before.
std::vector<std::uint64_t> OursDeflate(const std::string& data, int level, unsigned threads) {
  static std::map<unsigned, std::unique_ptr<kelvo::zip::ParallelDeflate>> deflaters;
  auto& deflate = deflaters[threads];
  if (!deflate) deflate = std::make_unique<kelvo::zip::ParallelDeflate>(threads);
  deflate->Begin(level, {-1, data.data(), data.size()});
  static std::vector<char> out(1 << 20);
  for (;;) {
    while (deflate->Read(out.data(), out.size()) > 0) {
    }
    if (deflate->InputDone()) break;
    if (deflate->DeflateWindow([](std::uint64_t) { return true; }) !=
        kelvo::zip::ParallelDeflate::Outcome::kDone)
      throw std::runtime_error("can't deflate");
  }
  return deflate->ChunkBytes();
}

// ---- libzip alone ----

// The same zip through libzip's own file sources and deflate, on this thread.
std::string LibzipWrite(const std::string& zipPath, const std::vector<std::string>& files,
                        int level) {
  int error = 0;
  zip_t* z = zip_open(zipPath.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!z) return "can't create '" + zipPath + "'";
  for (const auto& file : files) {
    zip_source_t* src = zip_source_file(z, file.c_str(), 0, -1);
    zip_int64_t index =
        src ? zip_file_add(z, fs::path(file).filename().c_str(), src, ZIP_FL_ENC_GUESS) : -1;
    if (index < 0 && src) zip_source_free(src);
    if (index < 0 || zip_set_file_compression(z, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE,
                                              static_cast<zip_uint32_t>(level)) != 0) {
      std::string why = zip_strerror(z);
      zip_discard(z);
      return "can't add '" + file + "': " + why;
    }
  }
  if (zip_close(z) == 0) return "";
  std::string why = zip_strerror(z);
  zip_discard(z);
  return "can't write '" + zipPath + "': " + why;
}

Checked LibzipWayCheck(const std::string& zipPath, const std::string& entry,
                       const std::string& entryPath) {
  static std::vector<std::vector<char>> buffers;
  auto c = kelvo::bench::CheckWithLibzip(zipPath, entry, entryPath, buffers);
  return {c.ok, c.reason, c.crc, c.bytes};
}

// ---- Measuring ----

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) throw std::runtime_error("can't read '" + path + "'");
  return data;
}

unsigned Threads() {
  return std::max(1u, std::thread::hardware_concurrency());
}

using Clock = std::chrono::steady_clock;

struct Side {
  std::function<void()> prepare;  // not timed
  std::function<void()> run;      // timed; throws when it fails
};

// The seconds each side took in each round, [side][round]: on the clock,
// and of CPU in this process (all its threads).
struct Times {
  std::vector<std::vector<double>> wall, cpu;
};

double CpuSeconds() {
  timespec t;
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Every round runs every side once, starting with the next side each round.
Times Interleave(const std::vector<Side>& sides, int rounds) {
  Times times;
  times.wall.assign(sides.size(), std::vector<double>(rounds));
  times.cpu = times.wall;
  for (int r = 0; r < rounds; ++r) {
    for (std::size_t k = 0; k < sides.size(); ++k) {
      std::size_t s = (static_cast<std::size_t>(r) + k) % sides.size();
      if (sides[s].prepare) sides[s].prepare();
      const double cpu = CpuSeconds();
      const auto start = Clock::now();
      sides[s].run();
      times.wall[s][r] = std::chrono::duration<double>(Clock::now() - start).count();
      times.cpu[s][r] = CpuSeconds() - cpu;
    }
  }
  return times;
}

struct Ratio {
  double median = 0, low = 0, high = 0;
};

// Side `s` against side 0, round by round.
Ratio RatioOf(const std::vector<std::vector<double>>& times, std::size_t s) {
  std::vector<double> r;
  for (std::size_t i = 0; i < times[s].size(); ++i) r.push_back(times[s][i] / times[0][i]);
  std::sort(r.begin(), r.end());
  std::size_t n = r.size();
  double median = n % 2 ? r[n / 2] : (r[n / 2 - 1] + r[n / 2]) / 2;
  return {median, r.front(), r.back()};
}

std::string Show(const Ratio& r) {
  char text[64];
  std::snprintf(text, sizeof text, "%.3f (%.3f-%.3f)", r.median, r.low, r.high);
  return text;
}

std::vector<std::string> FilesIn(const fs::path& dir) {
  std::vector<std::string> files;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.is_regular_file()) files.push_back(e.path().string());
  std::sort(files.begin(), files.end());
  if (files.empty()) throw std::runtime_error("can't find files in '" + dir.string() + "'");
  return files;
}

void EmptyDir(const fs::path& dir) {
  fs::remove_all(dir);
  fs::create_directories(dir);
}

std::uint64_t BytesIn(const fs::path& dir) {
  std::uint64_t bytes = 0;
  for (const auto& e : fs::directory_iterator(dir)) bytes += e.file_size();
  return bytes;
}

struct EntryInfo {
  bool deflated = false;
  std::uint64_t compressed = 0;
};

EntryInfo Entry(const std::string& zipPath, const std::string& name) {
  int error = 0;
  zip_t* z = zip_open(zipPath.c_str(), ZIP_RDONLY, &error);
  zip_stat_t st;
  zip_stat_init(&st);
  bool found = z && zip_stat(z, name.c_str(), ZIP_FL_ENC_RAW, &st) == 0;
  if (z) zip_discard(z);
  if (!found) throw std::runtime_error("can't find " + name + " in '" + zipPath + "'");
  return {st.comp_method == ZIP_CM_DEFLATE, st.comp_size};
}

// Where `name`'s bytes, as they stand in the zip, begin in the file.
std::size_t DataOffset(const std::string& zipPath, const std::string& name) {
  int error = 0;
  zip_t* z = zip_open(zipPath.c_str(), ZIP_RDONLY, &error);
  zip_file_t* f = z ? zip_fopen(z, name.c_str(), ZIP_FL_COMPRESSED) : nullptr;
  std::string head(64, '\0');
  bool read = f && zip_fread(f, head.data(), head.size()) == static_cast<zip_int64_t>(head.size());
  if (f) zip_fclose(f);
  if (z) zip_discard(z);
  const std::string bytes = ReadAll(zipPath);
  std::size_t at = read ? bytes.find(head) : std::string::npos;
  if (at == std::string::npos) throw std::runtime_error("can't find " + name + "'s data");
  return at;
}

void FlipByte(const std::string& path, std::size_t at) {
  std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
  f.seekg(static_cast<std::streamoff>(at));
  char c = 0;
  f.get(c);
  f.seekp(static_cast<std::streamoff>(at));
  f.put(static_cast<char>(c ^ 0x10));
  if (!f) throw std::runtime_error("can't change '" + path + "'");
}

// The first three fields of /proc/loadavg.
std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string one, five, fifteen;
  in >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

// ---- The two measurements ----

struct Inputs {
  fs::path root;
  std::vector<std::string> text, noise, large;
  std::string diz, nfo;
};

// One zip per input file with the DIZ and the NFO, named after its number.
using Writer = std::function<std::string(const std::string&, const std::vector<std::string>&, int)>;

void WriteAll(const Writer& write, const std::vector<std::string>& files, const Inputs& in,
              const fs::path& dir, int level) {
  for (std::size_t i = 0; i < files.size(); ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "demo%03zu.zip", i + 1);
    std::string why = write((dir / name).string(), {files[i], in.diz, in.nfo}, level);
    if (!why.empty()) throw std::runtime_error(why);
  }
}

// Both checkers must pass every zip of `dir` and agree on its CRC and size.
void CheckBoth(const fs::path& dir, const std::vector<std::string>& files) {
  auto zips = FilesIn(dir);
  for (std::size_t i = 0; i < zips.size(); ++i) {
    const std::string name = fs::path(files[i]).filename().string();
    Checked ours = OursCheck(zips[i], name, files[i], nullptr);
    Checked theirs = LibzipWayCheck(zips[i], name, files[i]);
    if (!ours.ok || !theirs.ok || ours.crc != theirs.crc || ours.bytes != theirs.bytes ||
        ours.bytes != fs::file_size(zips[i]))
      throw std::runtime_error("can't trust '" + zips[i] + "': ours says '" + ours.reason +
                               "', the libzip way '" + theirs.reason + "'");
  }
}

void MeasureWrites(const Inputs& in, int rounds) {
  const fs::path ours = in.root / "out/ours", plain = in.root / "out/libzip";
  std::printf("Writing zips: ours (parallel deflate, %u threads) / plain libzip (one thread)\n",
              Threads());
  std::printf(
      "median of %d rounds (lowest-highest); time on the clock, cpu of all threads; size: ours / "
      "libzip; libzip's zips / input\n",
      rounds);
  std::printf("  %-26s %5s  %-22s  %-22s  %-6s  %s\n", "input", "level", "time", "cpu", "size",
              "libzip/input");
  struct Kind {
    std::string label;
    const std::vector<std::string>* files;
  };
  char textLabel[64];
  std::snprintf(textLabel, sizeof textLabel, "%zu volumes of 7z'd text", in.text.size());
  for (const Kind& kind : {Kind{textLabel, &in.text}, Kind{"one large file", &in.large}}) {
    for (int level : {6, 9}) {
      std::vector<Side> sides = {
          {[&] {
             EmptyDir(plain);
             ::sync();
           },
           [&] { WriteAll(LibzipWrite, *kind.files, in, plain, level); }},
          {[&] {
             EmptyDir(ours);
             ::sync();
           },
           [&] { WriteAll(OursWrite, *kind.files, in, ours, level); }},
      };
      auto times = Interleave(sides, rounds);
      CheckBoth(ours, *kind.files);
      CheckBoth(plain, *kind.files);
      std::size_t deflated = 0;
      auto zips = FilesIn(ours);
      for (std::size_t i = 0; i < zips.size(); ++i)
        deflated += Entry(zips[i], fs::path((*kind.files)[i]).filename().string()).deflated;
      std::uint64_t inputBytes = 0;
      for (const auto& file : *kind.files) inputBytes += fs::file_size(file);
      std::printf("  %-26s %5d  %-22s  %-22s  %.4f  %.3f", kind.label.c_str(), level,
                  Show(RatioOf(times.wall, 1)).c_str(), Show(RatioOf(times.cpu, 1)).c_str(),
                  static_cast<double>(BytesIn(ours)) / static_cast<double>(BytesIn(plain)),
                  static_cast<double>(BytesIn(plain)) / static_cast<double>(inputBytes));
      if (deflated != zips.size()) std::printf("  (ours stored %zu)", zips.size() - deflated);
      std::printf("\n");
      std::fflush(stdout);
    }
  }
}

// How much of the other cores the run got: the parallel deflate alone, in
// memory, on all threads against one. Near 1/threads on an idle machine,
// near 1 when something else keeps the other cores busy.
void MeasureHeadroom(const Inputs& in, int rounds) {
  std::string data = ReadAll(in.large[0]);
  data.resize(std::min<std::size_t>(data.size(), 16 << 20));
  const unsigned threads = Threads();
  std::vector<Side> sides = {{nullptr, [&] { OursDeflate(data, 6, 1); }},
                             {nullptr, [&] { OursDeflate(data, 6, threads); }}};
  auto times = Interleave(sides, rounds);
  std::printf("Parallel deflate alone, %u threads / 1 thread, 16 MB at level 6: time %s, cpu %s\n",
              threads, Show(RatioOf(times.wall, 1)).c_str(), Show(RatioOf(times.cpu, 1)).c_str());
}

// A changed byte in a zip must fail both checkers: the libzip way's reasons
// are shown, as proof that libzip does compare the CRC.
void ShowTamperedZips(const Inputs& in, const fs::path& noiseZips, const fs::path& textZips) {
  const fs::path bad = in.root / "out/tampered.zip";
  struct Case {
    const char* what;
    fs::path zip;
    std::string file;
    bool compare;
  };
  const std::string noise = in.noise[0], text = in.text[0];
  const Case cases[] = {
      {"stored volume, not compared", FilesIn(noiseZips)[0], noise, false},
      {"stored volume, compared", FilesIn(noiseZips)[0], noise, true},
      {"deflated volume, not compared", FilesIn(textZips)[0], text, false},
  };
  std::printf("A byte changed in a zip's data (libzip way: ours):\n");
  for (const Case& c : cases) {
    fs::copy_file(c.zip, bad, fs::copy_options::overwrite_existing);
    const std::string name = fs::path(c.file).filename().string();
    FlipByte(bad.string(),
             DataOffset(bad.string(), name) + Entry(bad.string(), name).compressed / 2);
    const std::string entry = c.compare ? name : "";
    Checked theirs = LibzipWayCheck(bad.string(), entry, c.file);
    Checked ours = OursCheck(bad.string(), entry, c.file, nullptr);
    if (theirs.ok || ours.ok)
      throw std::runtime_error(std::string("a changed zip passed (") + c.what + ")");
    std::printf("  %-30s %s : %s\n", c.what, theirs.reason.c_str(), ours.reason.c_str());
  }
}

void MeasureChecks(const Inputs& in, int rounds) {
  const fs::path noiseZips = in.root / "out/check/noise", textZips = in.root / "out/check/text",
                 largeZips = in.root / "out/check/large";
  for (const auto& [dir, files] : {std::pair{noiseZips, &in.noise}, std::pair{textZips, &in.text},
                                   std::pair{largeZips, &in.large}}) {
    EmptyDir(dir);
    WriteAll(OursWrite, *files, in, dir, 6);
    CheckBoth(dir, *files);
  }
  ShowTamperedZips(in, noiseZips, textZips);

  std::printf("Reading zips back: ours / the libzip way, zips written by ours at level 6\n");
  std::printf("median of %d rounds (lowest-highest); cpu of all threads: its median alone\n",
              rounds);
  std::printf("  %-26s %-22s  %-22s  %-7s  %s\n", "zips", "time, no chunk map", "time, chunk map",
              "cpu, no", "cpu, map");
  struct Set {
    std::string label;
    fs::path dir;
    const std::vector<std::string>* files;
  };
  char noiseLabel[64], textLabel[64];
  std::snprintf(noiseLabel, sizeof noiseLabel, "%zu of stored 7z output", in.noise.size());
  std::snprintf(textLabel, sizeof textLabel, "%zu of deflated volumes", in.text.size());
  for (const Set& set : {Set{noiseLabel, noiseZips, &in.noise}, Set{textLabel, textZips, &in.text},
                         Set{"1 of the large file", largeZips, &in.large}}) {
    const auto zips = FilesIn(set.dir);
    const std::vector<std::string>& files = *set.files;
    std::vector<std::string> names;
    std::vector<std::optional<std::vector<std::uint64_t>>> maps;
    std::size_t mapped = 0;
    for (std::size_t i = 0; i < zips.size(); ++i) {
      names.push_back(fs::path(files[i]).filename().string());
      EntryInfo entry = Entry(zips[i], names.back());
      maps.emplace_back();
      if (!entry.deflated) continue;
      auto chunks = OursDeflate(ReadAll(files[i]), 6, Threads());
      std::uint64_t sum = 0;
      for (auto n : chunks) sum += n;
      // A map that does not add up would be ignored, and measured as none.
      if (sum != entry.compressed) throw std::runtime_error("can't map " + names.back());
      maps.back() = std::move(chunks);
      ++mapped;
    }
    auto run = [&](auto check) {
      return [&, check] {
        for (std::size_t i = 0; i < zips.size(); ++i) {
          Checked c = check(i);
          if (!c.ok) throw std::runtime_error("can't check '" + zips[i] + "': " + c.reason);
        }
      };
    };
    std::vector<Side> sides = {
        {nullptr, run([&](std::size_t i) { return LibzipWayCheck(zips[i], names[i], files[i]); })},
        {nullptr,
         run([&](std::size_t i) { return OursCheck(zips[i], names[i], files[i], nullptr); })},
    };
    if (mapped > 0)
      sides.push_back({nullptr, run([&](std::size_t i) {
                         return OursCheck(zips[i], names[i], files[i],
                                          maps[i] ? &*maps[i] : nullptr);
                       })});
    auto times = Interleave(sides, rounds);
    char cpuMapped[16] = "-";
    if (mapped) std::snprintf(cpuMapped, sizeof cpuMapped, "%.3f", RatioOf(times.cpu, 2).median);
    std::printf("  %-26s %-22s  %-22s  %-7.3f  %s\n", set.label.c_str(),
                Show(RatioOf(times.wall, 1)).c_str(),
                mapped ? Show(RatioOf(times.wall, 2)).c_str() : "-", RatioOf(times.cpu, 1).median,
                cpuMapped);
    std::fflush(stdout);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: kelvo_zip_engine_bench <inputs dir> [write rounds] [check rounds]\n");
    return 2;
  }
  const int writeRounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const int checkRounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 9;
  try {
    Inputs in;
    in.root = fs::absolute(argv[1]);
    in.text = FilesIn(in.root / "text");
    in.noise = FilesIn(in.root / "noise");
    in.large = FilesIn(in.root / "large");
    in.diz = (in.root / "file_id.diz").string();
    in.nfo = (in.root / "demo.nfo").string();
    // Another build or test on the machine weighs on the parallel side most.
    std::printf("load average: %s\n", LoadAverage().c_str());
    MeasureWrites(in, writeRounds);
    MeasureHeadroom(in, writeRounds);
    MeasureChecks(in, checkRounds);
    std::printf("load average: %s\n", LoadAverage().c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
