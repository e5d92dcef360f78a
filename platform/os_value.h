#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quen::platform {

struct OsEntry;

// A value exactly as the operating system handed it over, before any rule reads it.
// The OS answers some questions with dynamically typed values (a window entry's owner
// may be missing or not an integer, its bounds may not describe a rectangle, a script's
// error number may be text). Backends translate such a value into this form without
// judging it; the portable reading rules (core/os_value_rules.h) decide what it means.
struct OsValue {
  enum class Kind { Absent, Boolean, Integer, Real, Text, Dictionary, Other };

  Kind kind = Kind::Absent;
  bool boolean = false;
  std::int64_t integer = 0;
  double real = 0.0;
  std::string text;
  std::vector<OsEntry> entries;  // Dictionary only

  static OsValue absent();
  static OsValue ofBoolean(bool b);
  static OsValue ofInteger(std::int64_t n);
  static OsValue ofReal(double x);
  static OsValue ofText(std::string s);
  static OsValue ofDictionary(std::vector<OsEntry> e);
  // A value of a type the rules never accept (an array, a date, data).
  static OsValue other();

  bool isAbsent() const { return kind == Kind::Absent; }
  // The entry under `key` of a dictionary; null when absent or not a dictionary.
  const OsValue* entry(const std::string& key) const;
};

// One entry of a dictionary value.
struct OsEntry {
  std::string key;
  OsValue value;
};

inline OsValue OsValue::absent() { return {}; }
inline OsValue OsValue::ofBoolean(bool b) {
  OsValue v;
  v.kind = Kind::Boolean;
  v.boolean = b;
  return v;
}
inline OsValue OsValue::ofInteger(std::int64_t n) {
  OsValue v;
  v.kind = Kind::Integer;
  v.integer = n;
  return v;
}
inline OsValue OsValue::ofReal(double x) {
  OsValue v;
  v.kind = Kind::Real;
  v.real = x;
  return v;
}
inline OsValue OsValue::ofText(std::string s) {
  OsValue v;
  v.kind = Kind::Text;
  v.text = std::move(s);
  return v;
}
inline OsValue OsValue::ofDictionary(std::vector<OsEntry> e) {
  OsValue v;
  v.kind = Kind::Dictionary;
  v.entries = std::move(e);
  return v;
}
inline OsValue OsValue::other() {
  OsValue v;
  v.kind = Kind::Other;
  return v;
}
inline const OsValue* OsValue::entry(const std::string& key) const {
  if (kind != Kind::Dictionary) return nullptr;
  for (const OsEntry& e : entries)
    if (e.key == key) return &e.value;
  return nullptr;
}

}  // namespace quen::platform
