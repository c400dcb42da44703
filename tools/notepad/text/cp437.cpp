#include <array>
#include <vector>

#include "text/notepad_text.h"
#include "texts/cp437.h"

namespace kelvo::notepad {

QChar ByteToChar(unsigned char byte, View view) {
  if (view == View::Cp437) return QChar(texts::Cp437Glyph(byte));
  // Latin-1: the C0 controls and DEL as control pictures, the rest as is.
  if (byte < 0x20) return QChar(char16_t(0x2400 + byte));
  if (byte == 0x7F) return QChar(char16_t(0x2421));
  return QChar(char16_t(byte));
}

QString DecodeLine(std::string_view bytes, View view) {
  if (view == View::Utf8) return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
  QString text(qsizetype(bytes.size()), Qt::Uninitialized);
  for (std::size_t i = 0; i < bytes.size(); ++i)
    text[qsizetype(i)] = ByteToChar(static_cast<unsigned char>(bytes[i]), view);
  return text;
}

std::string EncodeLine(const QString& text, View view) {
  if (view == View::Utf8) return text.toStdString();
  // Character -> byte, -1 where none; one table per single-byte view.
  static const auto inverse = [] {
    std::array<std::vector<short>, 2> table{std::vector<short>(0x10000, -1),
                                            std::vector<short>(0x10000, -1)};
    for (int b = 0; b < 256; ++b) {
      auto byte = static_cast<unsigned char>(b);
      table[0][ByteToChar(byte, View::Cp437).unicode()] = short(b);
      table[1][ByteToChar(byte, View::Latin1).unicode()] = short(b);
    }
    return table;
  }();
  const auto& table = inverse[view == View::Cp437 ? 0 : 1];
  std::string out;
  out.reserve(std::size_t(text.size()));
  for (QChar c : text) {
    char16_t u = c.unicode();
    // Typed control characters (a tab) keep their own byte.
    if (u > 0 && u < 0x20) {
      out += char(u);
    } else {
      short b = table[u];
      out += b < 0 ? '?' : char(b);
    }
  }
  return out;
}

}  // namespace kelvo::notepad
