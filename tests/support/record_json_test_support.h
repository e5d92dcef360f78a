#pragma once

// Reads the writer's lines back with an independent JSON parser (nlohmann/json) and
// compares them with the record they should hold. Shared by the tests and the fuzzers.

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "core/record.h"

namespace quen::testing {

inline nlohmann::json toJson(const Record& record);

inline nlohmann::json toJson(const Value& value) {
  if (value.isBoolean()) return value.asBoolean();
  if (value.isText()) return value.asText();
  if (value.isInteger()) return value.asInteger();
  if (value.isRecord()) return toJson(value.asRecord());
  nlohmann::json array = nlohmann::json::array();
  for (const Value& element : value.asArray()) array.push_back(toJson(element));
  return array;
}

inline nlohmann::json toJson(const Record& record) {
  nlohmann::json object = nlohmann::json::object();
  for (const Record::Member& member : record.members())
    object[member.first] = toJson(member.second);
  return object;
}

// Shown in failure messages; texts that are not valid UTF-8 show U+FFFD.
inline std::string printable(const nlohmann::json& json) {
  return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// None when `line` parses as one JSON object equal to `expected` (member order aside);
// otherwise what went wrong.
inline std::optional<std::string> describeMismatch(std::string_view line, const Record& expected) {
  nlohmann::json parsed;
  try {
    parsed = nlohmann::json::parse(line);
  } catch (const nlohmann::json::parse_error& error) {
    return std::string("not JSON: ") + error.what() + " in " + std::string(line);
  }
  if (!parsed.is_object()) return "not an object: " + std::string(line);
  const nlohmann::json wanted = toJson(expected);
  if (parsed != wanted) return "parsed " + printable(parsed) + ", expected " + printable(wanted);
  return std::nullopt;
}

}  // namespace quen::testing
