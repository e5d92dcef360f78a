// One steady URL poll against a real browser on the accessibility bus, as the one-second
// poll makes it: the browser's application and active frame already known, so the poll asks
// the frame what it embeds and that document for its URL. scripts/measure-url.sh starts the
// browser on a bus of its own and names it here: QUEN_BROWSER_PID, and QUEN_BROWSER_TITLE,
// the title of its window.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "FocusTrail/src/accessible_url_route.h"
#include "platform/atspi/sd_bus_accessibility.h"

namespace {

double monotonicSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void steadyUrlPoll(benchmark::State& state) {
  const char* pid = std::getenv("QUEN_BROWSER_PID");
  const char* title = std::getenv("QUEN_BROWSER_TITLE");
  if (!pid || !title) {
    state.SkipWithError("QUEN_BROWSER_PID and QUEN_BROWSER_TITLE name no browser");
    return;
  }
  const auto bus = quen::atspi::openSdBusAccessibility();
  quen::focus::AccessibleUrlRoute route(*bus, monotonicSeconds);
  const quen::focus::UrlRequest browser{"", std::atoi(pid), 0, title};
  const quen::focus::UrlAnswer first = route.query(browser);
  if (!first.url.isText()) {
    state.SkipWithError("the browser gave no URL");
    return;
  }
  const std::uint64_t callsBefore = route.callCount();
  bool sameUrl = true;
  for (auto _ : state) {
    const quen::focus::UrlAnswer answer = route.query(browser);
    sameUrl = sameUrl && answer == first;
    benchmark::DoNotOptimize(answer);
  }
  if (!sameUrl) state.SkipWithError("the URL changed during the run");
  state.counters["bus_calls_per_poll"] =
      static_cast<double>(route.callCount() - callsBefore) / static_cast<double>(state.iterations());
  state.SetLabel(first.url.asText());
}

BENCHMARK(steadyUrlPoll)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
