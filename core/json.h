#pragma once

// The JSON line format of the stream, and the one way records leave the process.

#include <string>
#include <string_view>

#include "core/record.h"
#include "platform/platform.h"

namespace quen {

// The outcome of serialising a record: the JSON text, or the writer's error.
struct JsonText {
  std::string text;
  std::string error;  // empty when `text` holds the record
  bool ok() const { return error.empty(); }
};

// One compact JSON object, without line feed: no white space, members in the record's
// order, the solidus bare, the control characters escaped (\b \f \n \r \t, \u00XX for the
// rest), every other character as raw UTF-8. A text that is not valid UTF-8 is written with
// U+FFFD for each bad sequence, so the line is always valid JSON. Fails only for a record
// nested deeper than the writer accepts.
JsonText serializeDictToJsonString(const Record& dict);

// The agent's record stream: completes each partial record from the agent's schema and
// writes it as one line, optionally only when it differs from the last line written.
class RecordStream {
 public:
  // `diagnosticSource` names the agent's json unit ("FocusTrail/json") in the fatal
  // diagnostic. `schema` must outlive the stream.
  RecordStream(const Record& schema, std::string_view diagnosticSource,
               platform::StandardOutput& output);

  // Lays `dict` over the schema (its values win, extra keys are added after the schema's);
  // with `onlyIfDiffers`, returns at once when the result equals DICT_CACHED_LAST and
  // otherwise replaces DICT_CACHED_LAST before writing; writes the line; flushes when
  // `flush`. A line written with `onlyIfDiffers` false neither reads nor changes the cache.
  void dictMergeAndOutput(const Record& dict, bool flush, bool onlyIfDiffers);

  // The last record written on the comparing path; starts equal to the schema.
  const Record& cachedLast() const { return DICT_CACHED_LAST; }

 private:
  const Record& DICT_SCHEMA;
  Record DICT_CACHED_LAST;
  std::string_view diagnosticSource_;
  platform::StandardOutput& output_;
  Record merged_;  // reused from call to call, so a suppressed call allocates nothing
};

// Writes "<source>:27: Fatal error: <error>" on standard error and aborts the process.
[[noreturn]] void failSerialization(std::string_view diagnosticSource, std::string_view error);

}  // namespace quen
