#include "source/size_text.h"

#include <cfloat>
#include <charconv>
#include <stdexcept>

namespace kelvo {

std::string GroupDigits(std::uint64_t n) {
  std::string digits = std::to_string(n);
  std::string out;
  out.reserve(digits.size() + digits.size() / 3);
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The leading part of `text` that forms a decimal number: sign, digits, one
// point, an exponent. Tabs and line feeds inside are passed over.
std::string NumberPrefix(std::string_view text) {
  std::string clean;
  for (char c : text) {
    if (c != '\t' && c != '\n' && c != '\r') clean += c;
  }
  size_t i = 0;
  std::string out;
  if (i < clean.size() && (clean[i] == '+' || clean[i] == '-')) out += clean[i++];
  bool digits = false;
  while (i < clean.size() && IsDigit(clean[i])) {
    out += clean[i++];
    digits = true;
  }
  if (i < clean.size() && clean[i] == '.') {
    out += clean[i++];
    while (i < clean.size() && IsDigit(clean[i])) {
      out += clean[i++];
      digits = true;
    }
  }
  if (!digits) return {};
  if (i < clean.size() &&
      (clean[i] == 'e' || clean[i] == 'E' || clean[i] == 'd' || clean[i] == 'D')) {
    std::string exponent = "e";
    size_t j = i + 1;
    if (j < clean.size() && (clean[j] == '+' || clean[j] == '-')) exponent += clean[j++];
    bool expDigits = false;
    while (j < clean.size() && IsDigit(clean[j])) {
      exponent += clean[j++];
      expDigits = true;
    }
    if (expDigits) out += exponent;
  }
  return out;
}

}  // namespace

float SourceSizeFromText(std::string_view text) {
  std::string collected;
  for (char c : text.substr(0, text.find(' '))) {
    if (c != ',') collected += c;
  }
  std::string number = NumberPrefix(collected);
  if (number.empty()) return 0.0f;
  if (number[0] == '+') number.erase(0, 1);
  double value = 0.0;
  auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (ec == std::errc::result_out_of_range) {
    if (number.find("e-") != std::string::npos) return 0.0f;  // too small: reads as 0
    throw std::overflow_error("size text out of range: " + std::string(text));
  }
  if (ec != std::errc()) return 0.0f;
  if (value > FLT_MAX || value < -FLT_MAX)
    throw std::overflow_error("size text out of range: " + std::string(text));
  float n = static_cast<float>(value);
  return n > 1000000.0f ? n / 1000000.0f : 0.0f;
}

}  // namespace kelvo
