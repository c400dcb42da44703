// The synthesised sounds are WAVs that QSoundEffect plays: RIFF/WAVE with a
// PCM format chunk and a data chunk whose sizes agree, quiet, and free of
// clicks at either end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

namespace kelvo::assets {

namespace {

std::uint32_t Le(const std::string& b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b.at(at + i));
  return v;
}

struct Wav {
  std::string error;  // empty when the file parsed
  int format = 0, channels = 0, bits = 0;
  std::uint32_t rate = 0, byteRate = 0, blockAlign = 0;
  std::vector<std::int16_t> samples;
};

// Walks the chunks as a player would: any chunk may stand between fmt and data.
Wav Parse(const std::string& b) {
  Wav w;
  if (b.size() < 12 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "WAVE") != 0) {
    w.error = "not RIFF/WAVE";
    return w;
  }
  if (Le(b, 4, 4) != b.size() - 8) {
    w.error = "RIFF size " + std::to_string(Le(b, 4, 4)) + " for " + std::to_string(b.size());
    return w;
  }
  bool haveFmt = false;
  for (std::size_t at = 12; at + 8 <= b.size();) {
    const std::string id = b.substr(at, 4);
    const std::uint32_t size = Le(b, at + 4, 4);
    if (at + 8 + size > b.size()) {
      w.error = "chunk " + id + " runs past the end";
      return w;
    }
    if (id == "fmt ") {
      if (size < 16) {
        w.error = "short fmt chunk";
        return w;
      }
      w.format = static_cast<int>(Le(b, at + 8, 2));
      w.channels = static_cast<int>(Le(b, at + 10, 2));
      w.rate = Le(b, at + 12, 4);
      w.byteRate = Le(b, at + 16, 4);
      w.blockAlign = Le(b, at + 20, 2);
      w.bits = static_cast<int>(Le(b, at + 22, 2));
      haveFmt = true;
    } else if (id == "data") {
      if (!haveFmt) {
        w.error = "data before fmt";
        return w;
      }
      if (size % 2 != 0) {
        w.error = "odd data size";
        return w;
      }
      for (std::uint32_t i = 0; i < size; i += 2)
        w.samples.push_back(static_cast<std::int16_t>(Le(b, at + 8 + i, 2)));
      return w;
    }
    at += 8 + size + (size & 1);
  }
  w.error = "no data chunk";
  return w;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

double Db(int peak) {
  return 20 * std::log10(peak / 32768.0);
}

int Peak(const std::vector<std::int16_t>& s, std::size_t from, std::size_t to) {
  int peak = 0;
  for (std::size_t i = from; i < to && i < s.size(); ++i)
    peak = std::max(peak, std::abs(int{s[i]}));
  return peak;
}

struct Expected {
  const char* name;
  double minSeconds, maxSeconds;
};

void PrintTo(const Expected& e, std::ostream* os) {
  *os << e.name;
}

class SoundFile : public ::testing::TestWithParam<Expected> {};

}  // namespace

TEST(WavParser, RefusesABrokenFile) {
  std::string good = ReadBytes(std::string(KELVO_APP_BUILD_DIR) + "/type.wav");
  ASSERT_TRUE(Parse(good).error.empty());
  std::string truncated = good.substr(0, good.size() - 10);
  EXPECT_FALSE(Parse(truncated).error.empty());
  std::string noData = good;
  noData.replace(36, 4, "junk");
  EXPECT_FALSE(Parse(noData).error.empty());
}

TEST_P(SoundFile, IsQuietMonoPcmThatFadesInAndOut) {
  const Expected& e = GetParam();
  const std::string bytes = ReadBytes(std::string(KELVO_APP_BUILD_DIR) + "/" + e.name);
  ASSERT_FALSE(bytes.empty()) << e.name << " is missing";
  const Wav w = Parse(bytes);
  ASSERT_TRUE(w.error.empty()) << e.name << ": " << w.error;
  EXPECT_EQ(w.format, 1);
  EXPECT_EQ(w.channels, 1);
  EXPECT_EQ(w.bits, 16);
  EXPECT_EQ(w.rate, 22050u);
  EXPECT_EQ(w.blockAlign, 2u);
  EXPECT_EQ(w.byteRate, w.rate * w.blockAlign);

  const double seconds = static_cast<double>(w.samples.size()) / w.rate;
  EXPECT_GE(seconds, e.minSeconds) << e.name;
  EXPECT_LE(seconds, e.maxSeconds) << e.name;

  const int peak = Peak(w.samples, 0, w.samples.size());
  EXPECT_LE(Db(peak), -6.0) << e.name;
  EXPECT_GE(Db(peak), -24.0) << e.name << " is all but silent";

  // The first and last millisecond stay near zero: no click.
  const std::size_t ms = w.rate / 1000;
  EXPECT_LE(Peak(w.samples, 0, 2), peak / 20) << e.name;
  EXPECT_LE(Peak(w.samples, w.samples.size() - ms, w.samples.size()), peak / 10) << e.name;
}

INSTANTIATE_TEST_SUITE_P(Sounds, SoundFile,
                         ::testing::Values(Expected{"type.wav", 0.02, 0.08},
                                           Expected{"whoosh.wav", 0.2, 0.45},
                                           Expected{"thunder.wav", 1.0, 2.0},
                                           Expected{"kvo.wav", 0.4, 0.9}),
                         [](const auto& info) {
                           std::string name = info.param.name;
                           return name.substr(0, name.find('.'));
                         });

TEST(Thunder, FadesOutRatherThanStopping) {
  const Wav w = Parse(ReadBytes(std::string(KELVO_APP_BUILD_DIR) + "/thunder.wav"));
  ASSERT_TRUE(w.error.empty()) << w.error;
  const std::size_t n = w.samples.size();
  const int whole = Peak(w.samples, 0, n);
  // The last tenth is much quieter than the sound, but the tail before it
  // still rumbles: a fade, not a cut.
  EXPECT_LT(Peak(w.samples, n - n / 10, n), whole / 4);
  EXPECT_GT(Peak(w.samples, n / 2, n - n / 4), whole / 50);
}

TEST(Chime, RisesThroughItsNotes) {
  const Wav w = Parse(ReadBytes(std::string(KELVO_APP_BUILD_DIR) + "/kvo.wav"));
  ASSERT_TRUE(w.error.empty()) << w.error;
  // Zero crossings per second in each third: a rising pitch crosses more often.
  auto crossings = [&](std::size_t from, std::size_t to) {
    int count = 0;
    for (std::size_t i = from + 1; i < to; ++i)
      if ((w.samples[i - 1] < 0) != (w.samples[i] < 0)) ++count;
    return count;
  };
  const std::size_t third = w.samples.size() / 3;
  const std::size_t window = third / 2;
  const int first = crossings(0, window);
  const int last = crossings(2 * third, 2 * third + window);
  EXPECT_GT(first, 0);
  EXPECT_GT(last, first);
}

}  // namespace kelvo::assets
