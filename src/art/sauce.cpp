#include "art/sauce.h"

namespace kelvo::art {

namespace {

constexpr std::size_t kRecordBytes = 128;
constexpr std::size_t kDataTypeAt = 94;
constexpr std::size_t kFileTypeAt = 95;
constexpr std::size_t kTInfo1At = 96;
constexpr std::size_t kCommentCountAt = 104;
constexpr std::size_t kFlagsAt = 105;
constexpr std::size_t kCommentLineBytes = 64;
constexpr std::string_view kMark = "SAUCE00";
constexpr std::string_view kCommentMark = "COMNT";
constexpr char kEndOfFile = '\x1A';

// DataType 1 is "Character"; of its file types ASCII, ANSi, ANSiMation,
// PCBoard, Avatar and TundraDraw give their width in TInfo1.
bool GivesWidth(unsigned dataType, unsigned fileType) {
  return dataType == 1 && (fileType <= 2 || fileType == 4 || fileType == 5 || fileType == 8);
}

unsigned Byte(std::string_view bytes, std::size_t at) {
  return static_cast<unsigned char>(bytes[at]);
}

}  // namespace

std::optional<Sauce> FindSauce(std::string_view bytes) {
  if (bytes.size() < kRecordBytes) return std::nullopt;
  const std::size_t record = bytes.size() - kRecordBytes;
  if (bytes.substr(record, kMark.size()) != kMark) return std::nullopt;
  const std::size_t comments = Byte(bytes, record + kCommentCountAt);
  std::size_t start = record;
  if (comments > 0) {
    const std::size_t block = kCommentMark.size() + comments * kCommentLineBytes;
    if (block > record) return std::nullopt;
    start = record - block;
    if (bytes.substr(start, kCommentMark.size()) != kCommentMark) return std::nullopt;
  }
  if (start == 0 || bytes[start - 1] != kEndOfFile) return std::nullopt;

  Sauce sauce;
  sauce.tailStart = start - 1;
  const unsigned dataType = Byte(bytes, record + kDataTypeAt);
  const unsigned fileType = Byte(bytes, record + kFileTypeAt);
  if (GivesWidth(dataType, fileType))
    sauce.width = static_cast<std::uint16_t>(Byte(bytes, record + kTInfo1At) |
                                             Byte(bytes, record + kTInfo1At + 1) << 8);
  const unsigned flags = Byte(bytes, record + kFlagsAt);
  sauce.iceColours = flags & 0x01;
  // Bits 1-2: 01 is 8 pixels, 10 is 9 pixels; 00 and 11 leave it open.
  const unsigned spacing = flags >> 1 & 0x03;
  sauce.letterSpacing = spacing == 1 ? 8 : spacing == 2 ? 9 : 0;
  return sauce;
}

}  // namespace kelvo::art
