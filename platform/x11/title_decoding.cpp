#include "platform/x11/title_decoding.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "core/utf8.h"

namespace quen::x11 {

namespace {

constexpr char ESCAPE = 0x1B;
constexpr unsigned char CONTROL_SEQUENCE_INTRODUCER = 0x9B;

// The character sets Compound Text designates into its left (GL) and right (GR) halves.
enum class CharacterSet { Ascii, Latin1Right, OtherSingleByte, OtherDoubleByte };

class CompoundTextDecoder {
 public:
  explicit CompoundTextDecoder(std::string_view bytes) : bytes_(bytes) {}

  std::string decode() {
    while (position_ < bytes_.size()) {
      const auto byte = static_cast<unsigned char>(bytes_[position_]);
      if (byte == ESCAPE) {
        readEscapeSequence();
      } else if (byte == CONTROL_SEQUENCE_INTRODUCER) {
        skipControlSequence();
      } else if (byte == '\t' || byte == '\n' || byte == ' ') {
        out_.push_back(static_cast<char>(byte));
        ++position_;
      } else if (byte > 0x20 && byte < 0x7F) {
        readGraphic(left_, byte);
      } else if (byte >= 0xA0) {
        readGraphic(right_, byte);
      } else {
        ++position_;  // other C0 and C1 controls carry no text
      }
    }
    return std::move(out_);
  }

 private:
  void readGraphic(CharacterSet set, unsigned char byte) {
    ++position_;
    switch (set) {
      case CharacterSet::Ascii:
        out_.push_back(static_cast<char>(byte & 0x7F));
        break;
      case CharacterSet::Latin1Right:
        appendUtf8(out_, byte | 0x80u);
        break;
      case CharacterSet::OtherDoubleByte:
        ++position_;  // the second byte of the same character
        [[fallthrough]];
      case CharacterSet::OtherSingleByte:
        out_.append(UTF8_REPLACEMENT_CHARACTER);
        break;
    }
  }

  // ESC, intermediate bytes 0x20..0x2F, one final byte 0x30..0x7E (ISO 2022).
  void readEscapeSequence() {
    const std::size_t start = ++position_;
    while (position_ < bytes_.size() && bytes_[position_] >= 0x20 && bytes_[position_] <= 0x2F)
      ++position_;
    if (position_ >= bytes_.size()) return;
    const std::string_view intermediates = bytes_.substr(start, position_ - start);
    const char final = bytes_[position_++];
    if (intermediates == "(") left_ = final == 'B' || final == 'J' ? CharacterSet::Ascii
                                                                   : CharacterSet::OtherSingleByte;
    else if (intermediates == ")") right_ = CharacterSet::OtherSingleByte;
    else if (intermediates == "-") right_ = final == 'A' ? CharacterSet::Latin1Right
                                                         : CharacterSet::OtherSingleByte;
    else if (intermediates == "$(" || intermediates == "$") left_ = CharacterSet::OtherDoubleByte;
    else if (intermediates == "$)") right_ = CharacterSet::OtherDoubleByte;
    else if (intermediates == "%" && final == 'G') readUtf8Segment();
    else if (intermediates == "%/") readExtendedSegment();
  }

  // ESC % G opens a UTF-8 segment that ESC % @ (or the end of the text) closes.
  void readUtf8Segment() {
    const std::size_t end = bytes_.find("\x1B%@", position_);
    const std::size_t stop = end == std::string_view::npos ? bytes_.size() : end;
    out_.append(repairUtf8(bytes_.substr(position_, stop - position_)));
    position_ = end == std::string_view::npos ? stop : stop + 3;
  }

  // ESC % / n M L: a segment of (M - 128) * 128 + (L - 128) bytes, an encoding name ended by
  // STX and then text in that encoding. UTF-8 and ISO 8859-1 are read; others are replaced.
  void readExtendedSegment() {
    if (position_ + 2 > bytes_.size()) {
      position_ = bytes_.size();
      return;
    }
    const std::size_t length = (static_cast<std::size_t>(bytes_[position_] & 0x7F) << 7) |
                               static_cast<std::size_t>(bytes_[position_ + 1] & 0x7F);
    const std::string_view segment = bytes_.substr(position_ + 2, length);
    position_ = std::min(bytes_.size(), position_ + 2 + length);
    const std::size_t separator = segment.find('\x02');
    if (separator == std::string_view::npos) return;
    const std::string_view name = segment.substr(0, separator);
    const std::string_view text = segment.substr(separator + 1);
    if (name == "UTF-8" || name == "utf-8" || name == "ISO10646-1" || name == "iso10646-1")
      out_.append(repairUtf8(text));
    else if (name == "ISO8859-1" || name == "iso8859-1")
      out_.append(decodeLatin1(text));
    else if (!text.empty())
      out_.append(UTF8_REPLACEMENT_CHARACTER);
  }

  // Direction controls (CSI 1 ], CSI 2 ], CSI ]) carry no text.
  void skipControlSequence() {
    ++position_;
    while (position_ < bytes_.size()) {
      const auto byte = static_cast<unsigned char>(bytes_[position_++]);
      if (byte >= 0x40 && byte <= 0x7E) return;
    }
  }

  std::string_view bytes_;
  std::size_t position_ = 0;
  CharacterSet left_ = CharacterSet::Ascii;
  CharacterSet right_ = CharacterSet::Latin1Right;
  std::string out_;
};

}  // namespace

std::string decodeLatin1(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char byte : bytes) appendUtf8(out, static_cast<unsigned char>(byte));
  return out;
}

std::string decodeCompoundText(std::string_view bytes) {
  return CompoundTextDecoder(bytes).decode();
}

std::string decodeText(std::string_view bytes, TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::Latin1:
      return decodeLatin1(bytes);
    case TextEncoding::CompoundText:
      return decodeCompoundText(bytes);
    case TextEncoding::Utf8:
      break;
  }
  return repairUtf8(bytes);
}

std::optional<std::string> chooseTitle(std::optional<std::string_view> netWmName,
                                       std::optional<std::string_view> wmName,
                                       TextEncoding wmNameEncoding) {
  // Some clients count the C string's terminator into the property's length.
  const auto withoutTerminators = [](std::optional<std::string_view>& text) {
    while (text && !text->empty() && text->back() == '\0') text->remove_suffix(1);
  };
  withoutTerminators(netWmName);
  withoutTerminators(wmName);
  if (netWmName && isValidUtf8(*netWmName)) return std::string(*netWmName);
  if (wmName) return decodeText(*wmName, wmNameEncoding);
  if (netWmName) return repairUtf8(*netWmName);
  return std::nullopt;
}

}  // namespace quen::x11
