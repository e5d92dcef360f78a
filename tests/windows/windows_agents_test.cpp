// The real agents under Windows (Wine on the build machine): the front application, its
// window's title, the window choice and the end of the agent with its reader or its parent;
// and which input counts. Titles are embedded here: Wine mangles non-ASCII command lines.
// Wine never fires the foreground WinEvent, so these switches are seen by the 1 s poll.

#include <gtest/gtest.h>

#include "tests/windows/win_harness.h"

namespace quen::testing {
namespace {

const std::wstring ALPHA = L"Alpha Grüße — 日本語 🎉";
const std::wstring BETA = L"Beta ✓ 2 😀";
const char* const ALPHA_UTF8 = "Alpha Grüße — 日本語 🎉";
const char* const BETA_UTF8 = "Beta ✓ 2 😀";
constexpr DWORD CAPTIONED = WS_OVERLAPPEDWINDOW;

std::wstring agentPath(const wchar_t* name) {
  return buildFolder() + L"\\" + name + L"\\" + name + L".exe";
}

auto titled(const char* title) {
  return [title](const Json& record) { return record.value("winTitle", Json()) == title; };
}

TEST(WindowsFocusTrail, ReportsTheFrontApplicationAndItsChosenWindow) {
  HWND alpha = openWindow(ALPHA, CAPTIONED, 0, 100, 100, 500, 300);
  SetForegroundWindow(alpha);
  auto agent = AgentProcess::start(agentPath(L"FocusTrail"),
                                   L"--argTitleNeeded 1 --argUrlNeeded 0 --argForceReqPerm 0");
  ASSERT_TRUE(agent);
  const auto first = agent->nextRecord(titled(ALPHA_UTF8));
  ASSERT_TRUE(first) << "no record of the first window";
  EXPECT_EQ((*first)["appName"], "Quen Windows Test Driver");  // its FileDescription
  EXPECT_EQ((*first)["appIdentifier"], "windows_e2e_tests.exe");
  EXPECT_EQ((*first)["appPath"], ownPath());
  EXPECT_EQ((*first)["error"], false);

  // In front of it: a fully transparent window and a tiny one, neither of them chosen.
  HWND clear = openWindow(L"Clear", WS_POPUP, WS_EX_LAYERED | WS_EX_TOPMOST, 50, 50, 600, 400);
  SetLayeredWindowAttributes(clear, 0, 0, LWA_ALPHA);
  HWND tiny = openWindow(L"Tiny", WS_POPUP, WS_EX_TOPMOST, 60, 60, 30, 30);
  SetForegroundWindow(clear);
  SetWindowTextW(alpha, BETA.c_str());
  ASSERT_TRUE(agent->nextRecord(titled(BETA_UTF8))) << "rename not reported";

  // Another process in front, then this one again.
  auto notepad = AgentProcess::start(L"C:\\windows\\system32\\notepad.exe", L"");
  ASSERT_TRUE(notepad);
  const auto other = agent->nextRecord([](const Json& record) {
    return record["appIdentifier"] == "notepad.exe";
  });
  ASSERT_TRUE(other) << "no switch to notepad";
  EXPECT_NE((*other)["appPath"].get<std::string>().find("notepad.exe"), std::string::npos);
  SetForegroundWindow(alpha);
  ASSERT_TRUE(agent->nextRecord(titled(BETA_UTF8))) << "no switch back";
  notepad.reset();  // terminates it
  for (const std::string& line : agent->lines()) {
    EXPECT_EQ(line.find("Clear"), std::string::npos) << line;
    EXPECT_EQ(line.find("Tiny"), std::string::npos) << line;
  }

  // The parent closes its end: the next line fails to be written and the agent ends.
  agent->closeOutput();
  SetWindowTextW(alpha, ALPHA.c_str());
  DWORD status = 1;
  EXPECT_TRUE(agent->waitForExit(5.0, status)) << "agent outlived its reader";
  EXPECT_EQ(status, 0u);
  DestroyWindow(tiny);
  DestroyWindow(clear);
  DestroyWindow(alpha);
}

// A known browser's record waits for its URL, read on the worker's thread from the window's
// accessible elements (here the address bar's: Wine has no browser).
TEST(WindowsFocusTrail, ReportsAKnownBrowserWithItsUrl) {
  auto agent = AgentProcess::start(agentPath(L"FocusTrail"),
                                   L"--argTitleNeeded 1 --argUrlNeeded 1 --argForceReqPerm 0");
  ASSERT_TRUE(agent);
  auto browser = AgentProcess::start(buildFolder() + L"\\tests\\windows\\browser_stand_in.exe", L"");
  ASSERT_TRUE(browser);
  const auto record = agent->nextRecord([](const Json& line) {
    return line["appName"] == "Google Chrome";
  });
  ASSERT_TRUE(record) << "no record of the browser";
  EXPECT_EQ((*record)["winTitle"], "Stand-in tab");
  EXPECT_EQ((*record)["winUrl"], "https://example.org/grüße");
  EXPECT_EQ((*record)["error"], false);
}

Json activity(bool click, bool move, bool key) {
  return Json{{"error", false}, {"evMouseClick", click}, {"evMouseMove", move}, {"evKeyPress", key}};
}

// XTEST's input reaches Wine's raw input only once Wine has seen the pointer enter one of its
// windows: moves over the test's window until one is reported, then waits for the quiet line.
void enterWithXTest(AgentProcess& agent) {
  const Json idle = activity(false, false, false);
  bool entered = false;
  for (int attempt = 0; attempt < 5 && !entered; ++attempt) {
    ASSERT_TRUE(sendXTestInput(L"mousemove " + std::to_wstring(340 + attempt) + L" 250"));
    entered = agent.nextRecord([&](const Json& record) { return record != idle; }, 2.0).has_value();
  }
  ASSERT_TRUE(entered) << "XTEST input never reached raw input";
  ASSERT_TRUE(agent.nextRecord([&](const Json& record) { return record == idle; }));
}

TEST(WindowsInputTrail, CountsClicksMovesAndKeyReleases) {
  HWND window = openWindow(L"Input", CAPTIONED, 0, 100, 100, 500, 300);
  SetForegroundWindow(window);
  auto agent = AgentProcess::start(agentPath(L"InputTrail"),
                                   L"--argKeysNeeded 1 --argForceReqPerm 0");
  ASSERT_TRUE(agent);
  ASSERT_EQ(agent->nextRecord().value_or(Json()), activity(false, false, false)) << "launch";
  const auto active = [](const Json& record) { return record != activity(false, false, false); };
  struct Row {
    const char* what;
    std::vector<INPUT> input;
    const wchar_t* xtest;  // when set, XTEST input in xdotool's words instead of `input`
    Json expected;
  };
  const std::vector<Row> rows{
      {"move", {mouseInput(MOUSEEVENTF_MOVE, 7, 3)}, nullptr, activity(false, true, false)},
      {"click", {mouseInput(MOUSEEVENTF_LEFTDOWN), mouseInput(MOUSEEVENTF_LEFTUP)}, nullptr,
       activity(true, false, false)},
      {"key A", {keyInput('A', false), keyInput('A', true)}, nullptr, activity(false, false, true)},
      // Shift alone is no key press: the move after it shows the second was seen.
      {"shift", {keyInput(VK_SHIFT, false), keyInput(VK_SHIFT, true),
                 mouseInput(MOUSEEVENTF_MOVE, -7, -3)}, nullptr, activity(false, true, false)},
      {"xtest drag", {}, L"mousedown 1 mousemove_relative 20 0 mousemove_relative 0 20 mouseup 1",
       activity(true, false, false)},
      {"xtest wheel", {}, L"click 5 click 4 mousemove_relative 3 3", activity(false, true, false)},
  };
  bool entered = false;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    if (row.xtest && !std::exchange(entered, true)) {
      ASSERT_NO_FATAL_FAILURE(enterWithXTest(*agent));
    }
    if (row.xtest) {
      ASSERT_TRUE(sendXTestInput(row.xtest));
    } else {
      sendInput(row.input);
    }
    EXPECT_EQ(agent->nextRecord(active).value_or(Json()), row.expected);
  }
  DestroyWindow(window);
}

// Started by the parent-gone test as the agent's parent: starts InputTrail, waits for its
// launch line (the agent is up), says the agent's id and waits to be ended. InputTrail writes
// nothing more without input, so no failed write can end it: only the wait on its parent.
int runAsAgentParent() {
  auto agent = AgentProcess::start(agentPath(L"InputTrail"), L"--argKeysNeeded 0 --argForceReqPerm 0");
  if (!agent || !agent->nextRecord()) return 2;
  const std::string id = std::to_string(agent->processId()) + "\n";
  DWORD count = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), id.data(), static_cast<DWORD>(id.size()), &count, nullptr);
  Sleep(INFINITE);
  return 0;
}

TEST(WindowsAgents, EndWhenTheirParentEndsWithNothingToWrite) {
  auto parent = AgentProcess::start(buildFolder() + L"\\tests\\windows\\windows_e2e_tests.exe",
                                    L"--agent-parent");
  ASSERT_TRUE(parent);
  const auto id = parent->nextRecord();
  ASSERT_TRUE(id && id->is_number()) << "no agent id";
  HANDLE agent = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id->get<DWORD>());
  ASSERT_NE(agent, nullptr);
  EXPECT_EQ(WaitForSingleObject(agent, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  DWORD status = 1;
  parent.reset();  // terminates the parent
  EXPECT_TRUE(pumpUntil([&] { return WaitForSingleObject(agent, 0) == WAIT_OBJECT_0; }))
      << "agent outlived its parent";
  GetExitCodeProcess(agent, &status);
  EXPECT_EQ(status, 0u);
  CloseHandle(agent);
}

}  // namespace
}  // namespace quen::testing

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--agent-parent") return quen::testing::runAsAgentParent();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
