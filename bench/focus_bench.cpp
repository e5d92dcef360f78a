// The focus poll's steady cost: one collectData while nothing changed (the record equals the
// last line, so nothing is written), with the front application's window last in the list
// so that every window is walked.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "FocusTrail/src/QuenAppDelegate.h"
#include "FocusTrail/src/config.h"
#include "platform/fake/fake_system.h"

namespace {

constexpr std::int32_t FRONT_PID = 4242;

void collectDataUnchanged(benchmark::State& state) {
  quen::focus::FEAT_FLAG__TITLE_NEEDED = true;
  quen::fake::FakeSystem fake;
  std::vector<quen::fake::FakeWindow> windows;
  const auto windowCount = static_cast<std::int32_t>(state.range(0));
  for (std::int32_t index = 1; index < windowCount; ++index)
    windows.push_back(quen::fake::windowOf(1000 + index, 800, 600, "Another application"));
  windows.push_back(quen::fake::windowOf(FRONT_PID, 1280, 800, "Quarterly report.numbers"));
  fake.windows = std::move(windows);

  const quen::platform::RunningApplication front{
      FRONT_PID, "Numbers", "com.apple.iWork.Numbers", "/Applications/Numbers.app"};
  quen::focus::QuenAppDelegate delegate(fake);
  delegate.collectData(front);  // the first report is written; the rest are suppressed

  for (auto _ : state) delegate.collectData(front);

  if (fake.lines.size() != 1) state.SkipWithError("a suppressed report was written");
  quen::focus::FEAT_FLAG__TITLE_NEEDED = false;
}

// 500 windows only to show that the cost grows linearly with the windows walked.
BENCHMARK(collectDataUnchanged)->Arg(5)->Arg(50)->Arg(500);

}  // namespace

BENCHMARK_MAIN();
