// InputTrail's hot paths on the fake OS: one input event through the monitor's handler
// into the accumulator, and the once-a-second report tick when it writes nothing.
//
// Targets: under 50 ns per event, under 1 us per suppressed tick.

#include <benchmark/benchmark.h>

#include "InputTrail/src/QuenAppDelegate.h"
#include "InputTrail/src/accumulator.h"
#include "InputTrail/src/config.h"
#include "core/feature_flags.h"
#include "platform/fake/fake_system.h"

namespace {

using quen::input::QuenAppDelegate;
using quen::platform::EventType;

// An agent launched on the fake OS with keys wanted, trusted or not.
struct LaunchedAgent {
  explicit LaunchedAgent(bool trusted) {
    quen::input::FEAT_FLAG__KEYS_NEEDED = true;
    quen::input::FEAT_FLAG__REQ_PERM = false;
    quen::input::deriveFeaturePermissions();
    quen::input::ACCUMULATOR_CURR = quen::input::DICT_SCHEMA;
    system.trusted = trusted;
    system.runLoop().run([this] { delegate.applicationDidFinishLaunching(); });
  }

  quen::fake::FakeSystem system;
  QuenAppDelegate delegate{system};
};

// The handler path alone, as the monitor calls it for each mouse move.
void BM_MouseMoveHandler(benchmark::State& state) {
  LaunchedAgent agent(state.range(0) != 0);
  for (auto _ : state) {
    agent.delegate.mouseMoveHandler(EventType::MouseMoved);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_MouseMoveHandler)->ArgName("trusted")->Arg(1)->Arg(0);

// One event delivered by the fake OS to every installed monitor: the handler path plus
// the event source's dispatch.
void BM_InjectedEvent(benchmark::State& state) {
  LaunchedAgent agent(state.range(0) != 0);
  const EventType kinds[] = {EventType::MouseMoved, EventType::LeftMouseDown, EventType::KeyUp};
  std::size_t next = 0;
  for (auto _ : state) {
    agent.system.inject(kinds[next]);
    next = next == 2 ? 0 : next + 1;
  }
}
BENCHMARK(BM_InjectedEvent)->ArgName("trusted")->Arg(1)->Arg(0);

// A report tick that writes nothing: a quiet second after quiet seconds.
void BM_QuietTickSuppressed(benchmark::State& state) {
  LaunchedAgent agent(true);
  for (auto _ : state) agent.delegate.accumulatorUpdate();
}
BENCHMARK(BM_QuietTickSuppressed);

// A second whose activity (one move, one click) equals the last line: the two events and
// the report tick that writes nothing.
void BM_ActiveSecondSuppressed(benchmark::State& state) {
  LaunchedAgent agent(state.range(0) != 0);
  auto markActivity = [&] {
    agent.delegate.mouseMoveHandler(EventType::MouseMoved);
    agent.delegate.mouseClickHandler(EventType::LeftMouseDown);
  };
  markActivity();
  agent.delegate.accumulatorUpdate();  // the line this activity writes once
  for (auto _ : state) {
    markActivity();
    agent.delegate.accumulatorUpdate();
  }
}
BENCHMARK(BM_ActiveSecondSuppressed)->ArgName("trusted")->Arg(1)->Arg(0);

}  // namespace

BENCHMARK_MAIN();
