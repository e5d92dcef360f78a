// Builds a record from the fuzz input (keys and texts of arbitrary bytes, invalid UTF-8
// included, integers, arrays and records nested to any depth) and checks the writer's line
// with an independent JSON library: it fails exactly when the record is nested too deep,
// it always parses as one object without raw control characters, and when every text is
// valid UTF-8 it is byte for byte the compact form nlohmann/json writes for the same
// members in the same order.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "core/json.h"
#include "tests/support/record_json_test_support.h"

namespace {

constexpr int WRITER_DEPTH_LIMIT = 64;
constexpr int BUILD_DEPTH_LIMIT = 80;

void require(bool holds) {
  if (!holds) std::abort();
}

class RecordBuilder {
 public:
  explicit RecordBuilder(FuzzedDataProvider& data) : data_(data) {}

  // `depth` counts the containers from the outer record down to this one.
  quen::Record buildRecord(int depth) {
    quen::Record record;
    for (int count = data_.ConsumeIntegralInRange(0, 4); count > 0; --count) {
      std::string key = data_.ConsumeRandomLengthString(16);
      record.set(key, buildValue(depth));
    }
    return record;
  }

 private:
  quen::Value buildValue(int depth) {
    switch (data_.ConsumeIntegralInRange(0, depth < BUILD_DEPTH_LIMIT ? 4 : 2)) {
      case 0:
        return data_.ConsumeBool();
      case 1:
        return data_.ConsumeRandomLengthString(32);
      case 2:
        return data_.ConsumeIntegral<std::int64_t>();
      case 3: {
        quen::Array array;
        for (int count = data_.ConsumeIntegralInRange(0, 3); count > 0; --count)
          array.push_back(buildValue(depth + 1));
        return array;
      }
      default:
        return buildRecord(depth + 1);
    }
  }

  FuzzedDataProvider& data_;
};

int depthOf(const quen::Value& value);

int depthOf(const quen::Record& record) {
  int deepest = 0;
  for (const quen::Record::Member& member : record.members())
    deepest = std::max(deepest, depthOf(member.second));
  return deepest + 1;
}

int depthOf(const quen::Value& value) {
  if (value.isRecord()) return depthOf(value.asRecord());
  if (!value.isArray()) return 0;
  int deepest = 0;
  for (const quen::Value& element : value.asArray()) deepest = std::max(deepest, depthOf(element));
  return deepest + 1;
}

nlohmann::ordered_json toOrderedJson(const quen::Value& value);

nlohmann::ordered_json toOrderedJson(const quen::Record& record) {
  nlohmann::ordered_json object = nlohmann::ordered_json::object();
  for (const quen::Record::Member& member : record.members())
    object[member.first] = toOrderedJson(member.second);
  return object;
}

nlohmann::ordered_json toOrderedJson(const quen::Value& value) {
  if (value.isBoolean()) return value.asBoolean();
  if (value.isText()) return value.asText();
  if (value.isInteger()) return value.asInteger();
  if (value.isRecord()) return toOrderedJson(value.asRecord());
  nlohmann::ordered_json array = nlohmann::ordered_json::array();
  for (const quen::Value& element : value.asArray()) array.push_back(toOrderedJson(element));
  return array;
}

// nlohmann/json's compact text for the record, or none when some text is not valid UTF-8.
std::optional<std::string> referenceText(const quen::Record& record) {
  try {
    return toOrderedJson(record).dump();
  } catch (const nlohmann::json::type_error&) {
    return std::nullopt;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  FuzzedDataProvider data(bytes, size);
  const quen::Record record = RecordBuilder(data).buildRecord(1);
  const quen::JsonText json = quen::serializeDictToJsonString(record);

  require(json.ok() == (depthOf(record) <= WRITER_DEPTH_LIMIT));
  if (!json.ok()) return 0;
  require(std::none_of(json.text.begin(), json.text.end(),
                       [](char byte) { return static_cast<unsigned char>(byte) < 0x20; }));
  const nlohmann::json parsed = nlohmann::json::parse(json.text, nullptr, false);
  require(!parsed.is_discarded() && parsed.is_object());

  const std::optional<std::string> reference = referenceText(record);
  if (reference) {
    require(json.text == *reference);
    require(!quen::testing::describeMismatch(json.text, record).has_value());
  }
  return 0;
}
