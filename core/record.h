#pragma once

// The stream record: what every line on standard output holds. A record maps text keys
// to values (booleans, texts, integers, arrays and nested records); the agents put in
// booleans, texts and arrays of texts, and the boolean false stands for "no value".
// Members keep the order in which they were first set, which is the order they are
// written in; equality ignores that order.

#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace quen {

class Value;
using Array = std::vector<Value>;

class Record {
 public:
  using Member = std::pair<std::string, Value>;

  Record() = default;
  Record(std::initializer_list<Member> members);

  // Replaces the value under `key`, or appends the member when the key is new.
  void set(std::string_view key, Value value);
  // Null when the record has no member `key`.
  const Value* find(std::string_view key) const;
  Value* find(std::string_view key);

  const std::vector<Member>& members() const { return members_; }
  bool empty() const;
  std::size_t size() const;

  // Same key set and equal values under every key; member order never matters.
  friend bool operator==(const Record& a, const Record& b);

 private:
  std::vector<Member> members_;
};

class Value {
 public:
  using Data = std::variant<bool, std::string, std::int64_t, Array, Record>;

  Value() : data_(false) {}
  Value(bool b) : data_(b) {}
  Value(const char* text) : data_(std::string(text)) {}
  Value(std::string text) : data_(std::move(text)) {}
  Value(std::string_view text) : data_(std::string(text)) {}
  template <std::integral T>
    requires(!std::same_as<T, bool>)
  Value(T number) : data_(static_cast<std::int64_t>(number)) {}
  Value(Array array) : data_(std::move(array)) {}
  Value(Record record) : data_(std::move(record)) {}

  bool isBoolean() const { return std::holds_alternative<bool>(data_); }
  // Exactly the boolean false (not an empty text, not an empty array).
  bool isFalse() const { return isBoolean() && !*std::get_if<bool>(&data_); }
  bool isText() const { return std::holds_alternative<std::string>(data_); }
  bool isInteger() const { return std::holds_alternative<std::int64_t>(data_); }
  bool isArray() const { return std::holds_alternative<Array>(data_); }
  bool isRecord() const { return std::holds_alternative<Record>(data_); }

  bool asBoolean() const { return *std::get_if<bool>(&data_); }
  const std::string& asText() const { return *std::get_if<std::string>(&data_); }
  std::int64_t asInteger() const { return *std::get_if<std::int64_t>(&data_); }
  const Array& asArray() const { return *std::get_if<Array>(&data_); }
  const Record& asRecord() const { return *std::get_if<Record>(&data_); }

  // The accessors above are valid only for a value of that kind (test it first). They
  // read through get_if: std::get may throw, which macOS before 10.13 cannot ship.
  const Data& data() const { return data_; }

  // Texts by their exact characters, arrays element by element in order, records by
  // record equality.
  friend bool operator==(const Value& a, const Value& b) { return a.data_ == b.data_; }

 private:
  Data data_;
};

// Defined here, where Value is complete.
inline bool Record::empty() const { return members_.empty(); }
inline std::size_t Record::size() const { return members_.size(); }

}  // namespace quen
