#include "platform/wayland/sway_windows.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace quen::wayland {
namespace {

std::string subscribed() { return encodeIpcMessage(2, R"({"success":true})"); }
std::string windowEvent(const std::string& payload) {
  return encodeIpcMessage(0x80000003u, payload);
}

// sway's reply to GET_TREE, trimmed to what is read: two foot windows of two processes, the
// first focused; an XWayland window (its app id null, its class in window_properties);
// two windows that show one app id and title.
const std::string TREE = subscribed() + encodeIpcMessage(4, R"({"id":1,"type":"root","nodes":[
  {"id":3,"type":"output","nodes":[{"id":4,"type":"workspace","nodes":[
    {"id":11,"type":"con","name":"shell","focused":true,"pid":100,"app_id":"foot"},
    {"id":12,"type":"con","name":"logs","focused":false,"pid":200,"app_id":"foot"},
    {"id":14,"type":"con","name":"same","focused":false,"pid":400,"app_id":"term"},
    {"id":15,"type":"con","name":"same","focused":false,"pid":500,"app_id":"term"}],
  "floating_nodes":[{"id":13,"type":"floating_con","name":"x window","focused":false,
    "pid":300,"app_id":null,"window_properties":{"class":"QuenX","instance":"quenx"}}]}]}]})");

struct PidCase {
  const char* name;
  std::vector<std::string> reads;  // the bytes of each read from the socket
  std::string appId, title;        // as the compositor shows the activated toplevel
  std::optional<std::int32_t> pid;
};

void PrintTo(const PidCase& row, std::ostream* out) { *out << row.name; }

class SwayPidTest : public ::testing::TestWithParam<PidCase> {};

TEST_P(SwayPidTest, NamesTheProcessOfTheActivatedToplevel) {
  const PidCase& row = GetParam();
  SwayWindows windows;
  for (const std::string& bytes : row.reads) ASSERT_TRUE(windows.receive(bytes));
  EXPECT_TRUE(windows.hasTree());
  EXPECT_EQ(windows.pidOf(row.appId, row.title), row.pid);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SwayPidTest,
    ::testing::Values(
        PidCase{"FocusedWindow", {TREE}, "foot", "shell", 100},
        // The compositor activated the other foot window before sway's focus event came.
        PidCase{"OtherWindowOfTheFocusedAppId", {TREE}, "foot", "logs", 200},
        PidCase{"XWaylandWindowByItsClass", {TREE}, "QuenX", "x window", 300},
        PidCase{"OneAppIdAndTitleForTwoProcesses", {TREE}, "term", "same", std::nullopt},
        PidCase{"UnknownAppId", {TREE}, "editor", "draft", std::nullopt},
        PidCase{"EventInTheTreesRead",
                {TREE + windowEvent(R"({"change":"new","container":{"id":16,"name":"draft",
                    "focused":false,"pid":600,"app_id":"editor"}})")},
                "editor", "draft", 600},
        PidCase{"TreeSplitAcrossReads", {TREE.substr(0, 40), TREE.substr(40)}, "foot", "logs",
                200}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

}  // namespace
}  // namespace quen::wayland
