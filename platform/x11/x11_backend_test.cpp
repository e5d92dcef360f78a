#include "platform/x11/x11_backend.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/x11/process_info.h"
#include "platform/x11/x11_run_loop.h"
#include "platform/x11/x11_test_client.h"
#include "tests/support/shared_x_session_test.h"

namespace quen::x11 {
namespace {

using platform::RunningApplication;
using testing::TestClient;

constexpr platform::Seconds TIME_OUT = 10.0;
constexpr int TIMED_OUT = 2;

class X11BackendTest : public quen::testing::SharedXSessionTest<true> {
 protected:
  void SetUp() override {
    SharedXSessionTest::SetUp();
    if (HasFatalFailure()) return;
    // A desktop entry of the test windows' class, and no other.
    char pattern[] = "/tmp/quen-backend-test-XXXXXX";
    dataDirectory_ = ::mkdtemp(pattern);
    std::filesystem::create_directories(dataDirectory_ / "applications");
    std::ofstream(dataDirectory_ / "applications/quen-test-app.desktop")
        << "[Desktop Entry]\nType=Application\nName=Quen Test App\nExec=quen-test\n"
           "StartupWMClass=QuenTest\n";
    ::setenv("XDG_DATA_HOME", dataDirectory_.c_str(), 1);
    ::setenv("XDG_DATA_DIRS", dataDirectory_.c_str(), 1);
    std::string error;
    backend_ = openX11Backend(display().c_str(), error);
    ASSERT_NE(backend_, nullptr) << error;
    client_ = std::make_unique<TestClient>(display());
  }

  void TearDown() override {
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("XDG_DATA_DIRS");
    std::filesystem::remove_all(dataDirectory_);
  }

  X11RunLoop& loop() { return dynamic_cast<X11RunLoop&>(backend_->runLoop()); }

  // Runs the loop until `done` holds (checked every 20 ms); returns run()'s status.
  int runUntil(std::function<bool()> done, std::function<void()> launch = [] {}) {
    loop().scheduleRepeating(0.02, [this, done] {
      if (done()) loop().stop(0);
    });
    loop().scheduleOnce(TIME_OUT, [this] { loop().stop(TIMED_OUT); });
    return loop().run(std::move(launch));
  }

  static bool isThisProcess(const std::optional<RunningApplication>& application) {
    return application && application->processIdentifier == ::getpid();
  }

  std::filesystem::path dataDirectory_;
  std::unique_ptr<platform::Backend> backend_;
  std::unique_ptr<TestClient> client_;
};


TEST_F(X11BackendTest, ActivationNamesTheApplicationOfTheNewActiveWindow) {
  std::vector<std::optional<RunningApplication>> activations;
  backend_->workspace().observeActivation(
      [&activations](const std::optional<RunningApplication>& application) {
        activations.push_back(application);
      });
  const int status = runUntil(
      [&activations] { return !activations.empty() && isThisProcess(activations.back()); },
      [this] { client_->activate(client_->open({"activate me"})); });
  ASSERT_EQ(status, 0) << "no activation of this process's window";
  const RunningApplication& application = *activations.back();
  EXPECT_EQ(application.localizedName, "Quen Test App");
  EXPECT_EQ(application.bundleIdentifier, "quen-test-app");
  EXPECT_EQ(application.bundlePath, executablePath(::getpid()));
}

TEST_F(X11BackendTest, FrontmostApplicationFollowsTheActiveWindowAndNoneMeansNone) {
  xcb_window_t window = XCB_WINDOW_NONE;
  bool wasFront = false;
  // First this process's window in front, then (once it is destroyed) nothing in front.
  const int status = runUntil(
      [&] {
        const auto front = backend_->workspace().frontmostApplication();
        if (!wasFront && isThisProcess(front)) {
          wasFront = true;
          client_->destroy(window);
          return false;
        }
        return wasFront && !front;
      },
      [&] { client_->activate(window = client_->open({"front"})); });
  EXPECT_TRUE(wasFront);
  EXPECT_EQ(status, 0) << "with no active window there is no frontmost application";
}

TEST_F(X11BackendTest, WindowWithoutDesktopEntryIsNamedByItsClass) {
  std::filesystem::remove(dataDirectory_ / "applications/quen-test-app.desktop");
  ASSERT_EQ(runUntil([this] { return isThisProcess(backend_->workspace().frontmostApplication()); },
                     [this] { client_->activate(client_->open({"classy"})); }),
            0);
  const auto application = backend_->workspace().frontmostApplication();
  ASSERT_TRUE(application);
  EXPECT_EQ(application->localizedName, "QuenTest");
  EXPECT_EQ(application->bundleIdentifier, "quen-test");
}

TEST_F(X11BackendTest, MovesAreHeardOncePerRepeatingTimerPeriod) {
  int moves = 0;
  std::vector<int> movesPerPeriod;
  ASSERT_TRUE(backend_->eventSource().addGlobalMonitor(
      platform::maskFor(platform::EventType::MouseMoved),
      [&moves](platform::EventType) { ++moves; }));
  loop().scheduleRepeating(0.2, [&] {
    movesPerPeriod.push_back(moves);
    moves = 0;
    if (movesPerPeriod.size() == 5) loop().stop(0);
  });
  // Motion every 5 ms from one-shot calls (a repeating timer would itself start periods).
  int step = 0;
  std::function<void()> move = [&] {
    client_->moveTo(100 + (++step % 200), 300);
    loop().scheduleOnce(0.005, move);
  };
  loop().scheduleOnce(TIME_OUT, [this] { loop().stop(TIMED_OUT); });
  ASSERT_EQ(loop().run(move), 0);
  ASSERT_GT(step, 50) << "the motion was injected";
  for (std::size_t period = 1; period < movesPerPeriod.size(); ++period)
    EXPECT_EQ(movesPerPeriod[period], 1) << "period " << period;
}

TEST_F(X11BackendTest, PermissionsAreGrantedAndNoScriptCanBeMade) {
  EXPECT_TRUE(backend_->screenCapture().preflightAccess());
  EXPECT_TRUE(backend_->screenCapture().canCreateDisplayStream());
  EXPECT_TRUE(backend_->accessibility().isProcessTrusted(true));
  EXPECT_NE(backend_->activity().beginActivity(0x00EFFFFF, "reason"), nullptr);
  EXPECT_EQ(backend_->scripts().run("tell application \"x\" to get URL").stage,
            platform::ScriptRun::Stage::NotCreated);
}

// The agent's standard output is a pipe or a socket whose reader goes away; nothing is
// ever written. The process must end by SIGPIPE rather than idle on.
TEST_F(X11BackendTest, ReaderOfStandardOutputGoingAwayEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "fast");
  for (const bool socket : {false, true}) {
    EXPECT_EXIT(
        {
          int ends[2];
          if ((socket ? ::socketpair(AF_UNIX, SOCK_STREAM, 0, ends) : ::pipe(ends)) != 0)
            std::exit(3);
          ::dup2(ends[1], STDOUT_FILENO);
          ::close(ends[1]);
          ::close(ends[0]);
          std::string error;
          auto backend = openX11Backend(display().c_str(), error);
          if (!backend) std::exit(4);
          backend->runLoop().scheduleOnce(TIME_OUT, [] { std::exit(5); });
          backend->runLoop().run([] {});
          std::exit(6);
        },
        ::testing::KilledBySignal(SIGPIPE), "")
        << (socket ? "socket" : "pipe");
  }
}

class X11ConnectionTest : public ::testing::Test {};

TEST_F(X11ConnectionTest, NoDisplayIsACauseNamingTheDisplay) {
  std::string error;
  EXPECT_EQ(openX11Backend(":4242", error), nullptr);
  EXPECT_EQ(error, "X11: cannot open display :4242");

  const char* saved = std::getenv("DISPLAY");
  const std::string savedDisplay = saved ? saved : "";
  ::unsetenv("DISPLAY");
  EXPECT_EQ(platform::openSystemBackend(error), nullptr);
  EXPECT_EQ(error, "X11: cannot open display (unset)");
  if (saved) ::setenv("DISPLAY", savedDisplay.c_str(), 1);
}

TEST_F(X11ConnectionTest, LostServerEndsTheLoopWithOneLineAndStatusOne) {
  std::string error;
  auto session = quen::testing::XSession::start(false, error);
  ASSERT_NE(session, nullptr) << error;
  auto backend = openX11Backend(session->display().c_str(), error);
  ASSERT_NE(backend, nullptr) << error;
  backend->workspace();
  backend->eventSource().addGlobalMonitor(platform::maskFor(platform::EventType::MouseMoved),
                                          [](platform::EventType) {});
  auto& loop = dynamic_cast<X11RunLoop&>(backend->runLoop());
  loop.scheduleOnce(TIME_OUT, [&loop] { loop.stop(TIMED_OUT); });
  loop.scheduleRepeating(0.005, [&backend] { backend->workspace().frontmostApplication(); });

  ::testing::internal::CaptureStderr();
  const int status = loop.run([&session] { ::kill(session->serverPid(), SIGKILL); });
  const std::string diagnostic = ::testing::internal::GetCapturedStderr();

  EXPECT_EQ(status, 1);
  EXPECT_EQ(diagnostic.rfind("X11: connection to display " + session->display() + " lost", 0), 0u)
      << diagnostic;
  EXPECT_EQ(std::count(diagnostic.begin(), diagnostic.end(), '\n'), 1) << diagnostic;

  ::testing::internal::CaptureStdout();
  backend->standardOutput().writeLine("a record built from a lost connection");
  backend->standardOutput().flush();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

}  // namespace
}  // namespace quen::x11
