#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/json.h"
#include "core/utf8.h"

namespace quen {

namespace {

// Containers (records and arrays, the outer record included) nested deeper than this are
// refused, so that the writer's recursion stays bounded whatever record it is handed.
constexpr int MAXIMUM_NESTING_DEPTH = 64;

// The escape for a character below U+0020, as RFC 8259 section 7 allows: the two-character
// forms where they exist, \u00XX (lower-case hexadecimal digits) for the rest.
void appendControlEscape(std::string& out, unsigned char character) {
  switch (character) {
    case '\b': out += "\\b"; return;
    case '\f': out += "\\f"; return;
    case '\n': out += "\\n"; return;
    case '\r': out += "\\r"; return;
    case '\t': out += "\\t"; return;
    default: break;
  }
  constexpr char HEX_DIGITS[] = "0123456789abcdef";
  const char escape[] = {'\\', 'u', '0', '0', HEX_DIGITS[character >> 4],
                         HEX_DIGITS[character & 0xF]};
  out.append(escape, sizeof escape);
}

// Whether an ASCII byte goes into a JSON string as it is.
bool isPlainAscii(unsigned char byte) {
  return byte >= 0x20 && byte < 0x80 && byte != '"' && byte != '\\';
}

// A JSON string for `text`: runs of plain ASCII and well-formed UTF-8 are copied whole,
// the quotation mark and the reverse solidus take a reverse solidus, control characters
// their escapes, and each ill-formed sequence becomes U+FFFD. The solidus stays bare.
void appendString(std::string& out, std::string_view text) {
  out.push_back('"');
  std::size_t runStart = 0;
  std::size_t index = 0;
  while (index < text.size()) {
    const auto byte = static_cast<unsigned char>(text[index]);
    if (isPlainAscii(byte)) {
      ++index;
      continue;
    }
    if (byte >= 0x80) {
      const Utf8Sequence sequence = measureUtf8Sequence(text.substr(index));
      if (sequence.wellFormed) {
        index += sequence.length;
        continue;
      }
      out.append(text.data() + runStart, index - runStart);
      out += UTF8_REPLACEMENT_CHARACTER;
      index += sequence.length;
    } else {
      out.append(text.data() + runStart, index - runStart);
      if (byte < 0x20) {
        appendControlEscape(out, byte);
      } else {
        out.push_back('\\');
        out.push_back(static_cast<char>(byte));
      }
      ++index;
    }
    runStart = index;
  }
  out.append(text.data() + runStart, index - runStart);
  out.push_back('"');
}

void appendInteger(std::string& out, std::int64_t number) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, number);
  out.append(digits, result.ptr);
}

class JsonWriter {
 public:
  explicit JsonWriter(std::string& out) : out_(out) {}

  // False, with error() set, when a container lies deeper than the writer accepts.
  bool writeRecord(const Record& record, int depth) {
    if (!enter(depth)) return false;
    out_.push_back('{');
    bool first = true;
    for (const Record::Member& member : record.members()) {
      if (!first) out_.push_back(',');
      first = false;
      appendString(out_, member.first);
      out_.push_back(':');
      if (!writeValue(member.second, depth)) return false;
    }
    out_.push_back('}');
    return true;
  }

  const std::string& error() const { return error_; }

 private:
  bool enter(int depth) {
    if (depth <= MAXIMUM_NESTING_DEPTH) return true;
    error_ = "record nested deeper than " + std::to_string(MAXIMUM_NESTING_DEPTH) + " levels";
    return false;
  }

  bool writeArray(const Array& array, int depth) {
    if (!enter(depth)) return false;
    out_.push_back('[');
    bool first = true;
    for (const Value& element : array) {
      if (!first) out_.push_back(',');
      first = false;
      if (!writeValue(element, depth)) return false;
    }
    out_.push_back(']');
    return true;
  }

  // `depth` is that of the container holding the value.
  bool writeValue(const Value& value, int depth) {
    if (value.isBoolean()) {
      out_ += value.asBoolean() ? "true" : "false";
    } else if (value.isText()) {
      appendString(out_, value.asText());
    } else if (value.isInteger()) {
      appendInteger(out_, value.asInteger());
    } else if (value.isArray()) {
      return writeArray(value.asArray(), depth + 1);
    } else {
      return writeRecord(value.asRecord(), depth + 1);
    }
    return true;
  }

  std::string& out_;
  std::string error_;
};

}  // namespace

JsonText serializeDictToJsonString(const Record& dict) {
  JsonText result;
  result.text.reserve(256);
  JsonWriter writer(result.text);
  if (!writer.writeRecord(dict, 1)) {
    result.text.clear();
    result.error = writer.error();
  }
  return result;
}

}  // namespace quen
