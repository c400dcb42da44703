// make_sounds OUTDIR: synthesises the program's sounds (type.wav, whoosh.wav,
// thunder.wav, kvo.wav) as 16-bit PCM mono WAVs. Every run writes the same
// bytes: the noise comes from a fixed seed.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 22050;
constexpr double kPi = std::numbers::pi;

// xorshift32: the same noise on every compiler and library.
class Noise {
 public:
  explicit Noise(std::uint32_t seed) : state_(seed) {}
  double Next() {  // in [-1, 1)
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<double>(state_) / 2147483648.0 - 1.0;
  }

 private:
  std::uint32_t state_;
};

using Samples = std::vector<double>;

Samples Render(double seconds, const std::function<double(double)>& at) {
  Samples out(static_cast<std::size_t>(seconds * kRate));
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = at(static_cast<double>(i) / kRate);
  return out;
}

// Linear ramps at both ends: a sound that starts or stops off zero clicks.
void Fade(Samples& s, double inSeconds, double outSeconds) {
  const auto in = static_cast<std::size_t>(inSeconds * kRate);
  const auto out = static_cast<std::size_t>(outSeconds * kRate);
  for (std::size_t i = 0; i < in && i < s.size(); ++i) s[i] *= static_cast<double>(i) / in;
  for (std::size_t i = 0; i < out && i < s.size(); ++i)
    s[s.size() - 1 - i] *= static_cast<double>(i) / out;
}

// Scales the loudest sample to the given level in dBFS: quiet, and the same
// loudness whatever the synthesis produced.
void Normalise(Samples& s, double peakDb) {
  double peak = 0;
  for (double v : s) peak = std::max(peak, std::abs(v));
  if (peak == 0) return;
  const double gain = std::pow(10.0, peakDb / 20.0) / peak;
  for (double& v : s) v *= gain;
}

void Put16(std::string& b, std::uint16_t v) {
  b += static_cast<char>(v & 0xff);
  b += static_cast<char>(v >> 8);
}
void Put32(std::string& b, std::uint32_t v) {
  Put16(b, static_cast<std::uint16_t>(v & 0xffff));
  Put16(b, static_cast<std::uint16_t>(v >> 16));
}

bool WriteWav(const std::string& path, const Samples& s) {
  const auto dataBytes = static_cast<std::uint32_t>(s.size() * 2);
  std::string b = "RIFF";
  Put32(b, 36 + dataBytes);
  b += "WAVEfmt ";
  Put32(b, 16);
  Put16(b, 1);  // PCM
  Put16(b, 1);  // mono
  Put32(b, kRate);
  Put32(b, kRate * 2);
  Put16(b, 2);
  Put16(b, 16);
  b += "data";
  Put32(b, dataBytes);
  for (double v : s) {
    const long q = std::lround(std::clamp(v, -1.0, 1.0) * 32767.0);
    Put16(b, static_cast<std::uint16_t>(static_cast<std::int16_t>(q)));
  }
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(b.data(), static_cast<std::streamsize>(b.size()));
  return static_cast<bool>(file);
}

// A soft key click: a short knock of filtered noise over a low thump.
Samples Type() {
  Noise noise(0x4b310001);
  double low = 0;
  Samples s = Render(0.040, [&](double t) {
    low += 0.35 * (noise.Next() - low);
    const double knock = low * std::exp(-t / 0.004);
    const double thump = std::sin(2 * kPi * 180 * t) * std::exp(-t / 0.010);
    return knock + 0.6 * thump;
  });
  Fade(s, 0.001, 0.008);
  Normalise(s, -14);
  return s;
}

// Noise through a band-pass whose centre sweeps up, swelling and fading.
Samples Whoosh() {
  Noise noise(0x4b310002);
  double band = 0, low = 0;  // state-variable filter
  constexpr double kLength = 0.300;
  Samples s = Render(kLength, [&](double t) {
    const double x = t / kLength;
    const double centre = 250 * std::pow(14.0, x);
    const double f = 2 * std::sin(kPi * centre / kRate);
    const double damping = 0.5;
    const double high = noise.Next() - low - damping * band;
    band += f * high;
    low += f * band;
    return band * std::pow(std::sin(kPi * x), 1.5);
  });
  Fade(s, 0.005, 0.020);
  Normalise(s, -10);
  return s;
}

// A crack of bright noise, then a long low rumble of smoothed brown noise.
Samples Thunder() {
  Noise noise(0x4b310003);
  double brown = 0, rumble = 0, roll = 0;
  constexpr double kLength = 1.5;
  Samples s = Render(kLength, [&](double t) {
    const double white = noise.Next();
    brown = 0.995 * brown + 0.05 * white;
    rumble += 0.05 * (brown - rumble);                // ~175 Hz: heard on small speakers too
    roll += 0.002 * (std::abs(noise.Next()) - roll);  // slow swells
    const double crack = white * std::exp(-t / 0.045) * (t < 0.25 ? 1.0 : 0.0);
    const double swell = std::min(1.0, t / 0.08) * std::exp(-t / 0.6) * (0.6 + roll);
    return 0.35 * crack + 4.0 * rumble * swell;
  });
  Fade(s, 0.002, 0.400);
  Normalise(s, -8);
  return s;
}

// Three rising notes (C, E, G), each a bell-like sine with a soft overtone.
Samples Chime() {
  constexpr double kNotes[] = {523.25, 659.25, 783.99};
  constexpr double kStep = 0.150;
  Samples s = Render(0.600, [&](double t) {
    double sum = 0;
    for (int n = 0; n < 3; ++n) {
      const double u = t - n * kStep;
      if (u < 0) continue;
      const double attack = std::min(1.0, u / 0.006);
      const double decay = std::exp(-u / 0.18);
      const double f = kNotes[n];
      sum += attack * decay * (std::sin(2 * kPi * f * u) + 0.25 * std::sin(2 * kPi * 2 * f * u));
    }
    return sum;
  });
  Fade(s, 0.002, 0.060);
  Normalise(s, -9);
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_sounds OUTDIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  struct Sound {
    const char* name;
    Samples (*make)();
  };
  for (const Sound& sound : {Sound{"type.wav", Type}, Sound{"whoosh.wav", Whoosh},
                             Sound{"thunder.wav", Thunder}, Sound{"kvo.wav", Chime}}) {
    const std::string path = dir + "/" + sound.name;
    if (!WriteWav(path, sound.make())) {
      std::fprintf(stderr, "make_sounds: can't write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
