// Side by side, on an X server of its own (Xvfb and openbox) holding 5 and then 50 windows
// of several applications:
//   (a) one bare X round trip (GetInputFocus): the floor of any question asked of X;
//   (b) one focus poll of FocusTrail on the X11 backend, on the path where nothing changed:
//       the frontmost application, the window walk with the title, the URL query, the
//       record compared with the last line (nothing written);
//   (c) one sample of `xdotool getactivewindow getwindowname getwindowpid`, the usual way
//       of asking the same from a script: a process per sample.
// Prints the medians and the ratios b/a (targets: at most 5 with 5 and with 50 windows) and
// c/b (at least 40). Wall-clock times: the X server's work is part of each answer.
// Pass --benchmark_* options as usual (--benchmark_filter selects within each session).

#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "FocusTrail/src/QuenAppDelegate.h"
#include "FocusTrail/src/config.h"
#include "bench/x11_window_owners.h"
#include "platform/platform.h"
#include "platform/x11/x11_backend.h"
#include "tests/support/x_session.h"

extern char** environ;

namespace {

constexpr int WINDOW_COUNTS[] = {5, 50};

struct FreeDeleter {
  void operator()(void* pointer) const { std::free(pointer); }
};

void bareRoundTrip(benchmark::State& state, xcb_connection_t* connection) {
  for (auto _ : state) {
    std::unique_ptr<xcb_get_input_focus_reply_t, FreeDeleter> reply(
        xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    benchmark::DoNotOptimize(reply.get());
  }
}

void focusPoll(benchmark::State& state, quen::focus::QuenAppDelegate* delegate) {
  for (auto _ : state) delegate->appSilentMetaClbk();
}

void xdotoolSample(benchmark::State& state) {
  char* arguments[] = {const_cast<char*>("xdotool"), const_cast<char*>("getactivewindow"),
                       const_cast<char*>("getwindowname"), const_cast<char*>("getwindowpid"),
                       nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  for (auto _ : state) {
    pid_t child = 0;
    int status = 0;
    if (posix_spawnp(&child, "xdotool", &actions, nullptr, arguments, environ) != 0 ||
        waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("xdotool failed");
      break;
    }
  }
  posix_spawn_file_actions_destroy(&actions);
}

// Keeps the median of every benchmark, by name, as it prints the usual table.
class MedianReporter : public benchmark::ConsoleReporter {
 public:
  MedianReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
        medians[run.run_name.function_name] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> medians;  // microseconds
};

void registerComparison(int windows, xcb_connection_t* connection,
                        quen::focus::QuenAppDelegate* delegate) {
  const std::string suffix = "/windows:" + std::to_string(windows);
  auto configure = [](benchmark::internal::Benchmark* benchmark, double minimumSeconds) {
    benchmark->Unit(benchmark::kMicrosecond)->UseRealTime()->MinTime(minimumSeconds)
        ->Repetitions(15)->ReportAggregatesOnly(true);
  };
  configure(benchmark::RegisterBenchmark(("a_round_trip" + suffix).c_str(), bareRoundTrip,
                                         connection), 0.05);
  configure(benchmark::RegisterBenchmark(("b_focus_poll" + suffix).c_str(), focusPoll,
                                         delegate), 0.05);
  configure(benchmark::RegisterBenchmark(("c_xdotool_sample" + suffix).c_str(), xdotoolSample),
            0.2);
}

// Runs the three benchmarks on a fresh session with `windows` windows; false on failure.
bool compareWith(int windows, MedianReporter& reporter) {
  std::string error;
  const auto session =
      quen::testing::XSession::start(quen::testing::WindowManager::FocusNewWindows, error);
  if (!session) {
    std::fprintf(stderr, "x11_compare: cannot start an X session: %s\n", error.c_str());
    return false;
  }
  setenv("DISPLAY", session->display().c_str(), 1);
  quen::bench::WindowOwners owners;
  if (!owners.open(windows, error)) {
    std::fprintf(stderr, "x11_compare: %s\n", error.c_str());
    return false;
  }
  auto backend = quen::x11::openX11Backend(nullptr, error);
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  if (!backend || xcb_connection_has_error(connection)) {
    std::fprintf(stderr, "x11_compare: %s\n", error.c_str());
    xcb_disconnect(connection);
    return false;
  }
  quen::focus::QuenAppDelegate delegate(*backend);
  std::printf("%d windows on %s; the poll's first report, written once:\n", windows,
              session->display().c_str());
  std::fflush(stdout);
  delegate.appSilentMetaClbk();
  backend->standardOutput().flush();
  registerComparison(windows, connection, &delegate);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::ClearRegisteredBenchmarks();
  xcb_disconnect(connection);
  return true;
}

void printSummary(const std::map<std::string, double>& medians) {
  std::printf("\n%8s %16s %16s %16s %8s %8s %8s\n", "windows", "(a) round trip",
              "(b) focus poll", "(c) xdotool", "b/a", "c/b", "c/a");
  for (const int windows : WINDOW_COUNTS) {
    const std::string suffix = "/windows:" + std::to_string(windows);
    const auto find = [&](const std::string& name) {
      const auto found = medians.find(name + suffix);
      return found == medians.end() ? 0.0 : found->second;
    };
    const double a = find("a_round_trip"), b = find("b_focus_poll"), c = find("c_xdotool_sample");
    std::printf("%8d %13.1f us %13.1f us %13.1f us %8.2f %8.1f %8.1f\n", windows, a, b, c,
                a > 0 ? b / a : 0.0, b > 0 ? c / b : 0.0, a > 0 ? c / a : 0.0);
  }
  std::printf(
      "targets: b/a <= 5 with 5 and with 50 windows; c/b >= 40 (medians, wall time).\n"
      "c/a bounds c/b: a poll cannot cost less than one round trip.\n");
}

// Runs this process and everything it starts (the X server, the window manager, xdotool)
// on one CPU: a round trip then costs two context switches, never the wake-up of an idle
// core, and the figures repeat within a few percent from run to run. Returns the CPU.
int pinToOneCpu() {
  cpu_set_t allowed;
  if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return -1;
  int chosen = -1;
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
    if (CPU_ISSET(cpu, &allowed)) chosen = cpu;
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(chosen, &one);
  return sched_setaffinity(0, sizeof one, &one) == 0 ? chosen : -1;
}

}  // namespace

int main(int argc, char** argv) {
  std::printf("everything on CPU %d\n", pinToOneCpu());
  // The repetitions of the three benchmarks run interleaved, in random order, so that a
  // change in the machine's load falls on all three alike and the ratios stay fair.
  std::vector<char*> arguments(argv, argv + argc);
  char interleave[] = "--benchmark_enable_random_interleaving=true";
  arguments.insert(arguments.begin() + 1, interleave);
  int count = static_cast<int>(arguments.size());
  benchmark::Initialize(&count, arguments.data());
  quen::focus::FEAT_FLAG__TITLE_NEEDED = true;
  quen::focus::FEAT_FLAG__URL_NEEDED = true;
  MedianReporter reporter;
  for (const int windows : WINDOW_COUNTS)
    if (!compareWith(windows, reporter)) return 1;
  printSummary(reporter.medians);
  benchmark::Shutdown();
  return 0;
}
