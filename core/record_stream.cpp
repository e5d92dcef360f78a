#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "core/json.h"

namespace quen {

namespace {

// Whether `merged` holds exactly the keys of `dict` laid over `schema`, in the merge's
// order: the schema's keys, then those of `dict` that the schema lacks.
bool hasMergedShape(const Record& merged, const Record& schema, const Record& dict) {
  const auto& members = merged.members();
  std::size_t index = 0;
  auto nextKeyIs = [&](const std::string& key) {
    return index < members.size() && members[index++].first == key;
  };
  for (const Record::Member& member : schema.members())
    if (!nextKeyIs(member.first)) return false;
  for (const Record::Member& member : dict.members())
    if (schema.find(member.first) == nullptr && !nextKeyIs(member.first)) return false;
  return index == members.size();
}

// Assigns only what changed, so that values held from the previous call keep their
// storage and a record equal to the previous one costs no allocation.
void assignIfDifferent(Value& target, const Value& source) {
  if (!(target == source)) target = source;
}

// Makes `merged` the record `dict` laid over `schema`: the schema's members in the
// schema's order, each with the value of `dict` where it has the key, then the members of
// `dict` that the schema lacks, in the order of `dict`.
void mergeOverSchema(Record& merged, const Record& schema, const Record& dict) {
  if (!hasMergedShape(merged, schema, dict)) {
    merged = Record();
    for (const Record::Member& member : schema.members()) {
      const Value* given = dict.find(member.first);
      merged.set(member.first, given != nullptr ? *given : member.second);
    }
    for (const Record::Member& member : dict.members())
      if (schema.find(member.first) == nullptr) merged.set(member.first, member.second);
    return;
  }
  for (const Record::Member& member : schema.members()) {
    const Value* given = dict.find(member.first);
    assignIfDifferent(*merged.find(member.first), given != nullptr ? *given : member.second);
  }
  for (const Record::Member& member : dict.members())
    if (schema.find(member.first) == nullptr)
      assignIfDifferent(*merged.find(member.first), member.second);
}

}  // namespace

RecordStream::RecordStream(const Record& schema, std::string_view diagnosticSource,
                           platform::StandardOutput& output)
    : DICT_SCHEMA(schema),
      DICT_CACHED_LAST(schema),
      diagnosticSource_(diagnosticSource),
      output_(output) {}

void RecordStream::dictMergeAndOutput(const Record& dict, bool flush, bool onlyIfDiffers) {
  mergeOverSchema(merged_, DICT_SCHEMA, dict);
  if (onlyIfDiffers) {
    if (merged_ == DICT_CACHED_LAST) return;
    DICT_CACHED_LAST = merged_;
  }
  const JsonText json = serializeDictToJsonString(merged_);
  if (!json.ok()) failSerialization(diagnosticSource_, json.error);
  output_.writeLine(json.text);
  if (flush) output_.flush();
}

void failSerialization(std::string_view diagnosticSource, std::string_view error) {
  std::fprintf(stderr, "%.*s:27: Fatal error: %.*s\n", static_cast<int>(diagnosticSource.size()),
               diagnosticSource.data(), static_cast<int>(error.size()), error.data());
  std::fflush(stderr);
  std::abort();
}

}  // namespace quen
