#pragma once

// Reads the writer's lines back with an independent JSON parser (nlohmann/json) and
// compares them with the record they should hold. Shared by the tests and the fuzzers.

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "core/record.h"

namespace quen::testing {

inline nlohmann::json toJson(const Value& value) {
  if (value.isBoolean()) return value.asBoolean();
  if (value.isText()) return value.asText();
  if (value.isInteger()) return value.asInteger();
  nlohmann::json json = value.isRecord() ? nlohmann::json::object() : nlohmann::json::array();
  if (value.isArray())
    for (const Value& element : value.asArray()) json.push_back(toJson(element));
  else
    for (const auto& [key, member] : value.asRecord().members()) json[key] = toJson(member);
  return json;
}

// None when `line` parses as one JSON object equal to `expected` (member order aside);
// otherwise what went wrong, texts that are not valid UTF-8 shown with U+FFFD.
inline std::optional<std::string> describeMismatch(std::string_view line, const Record& expected) {
  const nlohmann::json parsed = nlohmann::json::parse(line, nullptr, false);
  if (!parsed.is_object()) return "not an object: " + std::string(line);  // or not JSON
  const nlohmann::json wanted = toJson(Value(expected));
  if (parsed == wanted) return std::nullopt;
  const auto replace = nlohmann::json::error_handler_t::replace;
  return "parsed " + parsed.dump(-1, ' ', false, replace) + ", expected " +
         wanted.dump(-1, ' ', false, replace);
}

}  // namespace quen::testing
