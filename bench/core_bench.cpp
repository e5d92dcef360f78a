// The stream core's hot paths: writing a focus record as JSON, and the change test that
// suppresses a record equal to the last one written (the focus poll's case once a second).

#include <benchmark/benchmark.h>

#include <string_view>

#include "core/json.h"

namespace {

// Standard output that drops what it is given, so that only the core is measured.
class DiscardingOutput final : public quen::platform::StandardOutput {
 public:
  void writeLine(std::string_view line) override { benchmark::DoNotOptimize(line.data()); }
  void flush() override {}
};

const quen::Record& focusSchema() {
  static const quen::Record schema{{"appName", false}, {"appIdentifier", false},
                                   {"appPath", false}, {"winTitle", false},
                                   {"winUrl", false},  {"error", false}};
  return schema;
}

const quen::Record& focusRecord() {
  static const quen::Record record{
      {"appName", "Firefox"},
      {"appIdentifier", "org.mozilla.firefox"},
      {"appPath", "/Applications/Firefox.app"},
      {"winTitle",
       "Pull requests \xC2\xB7 Review \xE2\x80\x94 \"core\" / json \xE2\x80\x94 Mozilla Firefox"},
      {"winUrl", "https://github.com/example/project/pulls?q=is%3Aopen+is%3Apr+review%3Arequired"},
      {"error", quen::Array{"E_PERMISSION_SCREENRECORDING"}}};
  return record;
}

void serializeFocusRecord(benchmark::State& state) {
  for (auto _ : state) {
    quen::JsonText json = quen::serializeDictToJsonString(focusRecord());
    benchmark::DoNotOptimize(json.text.data());
  }
}
BENCHMARK(serializeFocusRecord);

void suppressEqualFocusRecord(benchmark::State& state) {
  DiscardingOutput output;
  quen::RecordStream stream(focusSchema(), "FocusTrail/json", output);
  stream.dictMergeAndOutput(focusRecord(), true, true);
  for (auto _ : state) stream.dictMergeAndOutput(focusRecord(), true, true);
}
BENCHMARK(suppressEqualFocusRecord);

void writeChangedFocusRecord(benchmark::State& state) {
  DiscardingOutput output;
  quen::RecordStream stream(focusSchema(), "FocusTrail/json", output);
  quen::Record other = focusRecord();
  other.set("winTitle", "Another tab \xE2\x80\x94 Mozilla Firefox");
  bool flip = false;
  for (auto _ : state) {
    stream.dictMergeAndOutput(flip ? other : focusRecord(), true, true);
    flip = !flip;
  }
}
BENCHMARK(writeChangedFocusRecord);

}  // namespace

BENCHMARK_MAIN();
