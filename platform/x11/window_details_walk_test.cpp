#include "platform/x11/window_details_walk.h"

#include <gtest/gtest.h>

#include <string>

namespace quen::x11 {
namespace {

// Keeps each fetch as "<clients>" and "+names" when titles were asked for.
class RecordingSource final : public WindowDetailsSource {
 public:
  std::vector<WindowDetails> fetchDetails(const std::vector<xcb_window_t>& clients,
                                          bool withNames) override {
    std::string fetch;
    for (const xcb_window_t client : clients) fetch += std::to_string(client);
    fetches.push_back(fetch + (withNames ? "+names" : ""));
    std::vector<WindowDetails> details(clients.size());
    for (std::size_t index = 0; index < clients.size(); ++index)
      if (withNames) details[index].name = platform::OsValue::ofText(std::to_string(clients[index]));
    return details;
  }
  std::vector<std::string> fetches;
};

// The rule reads owner 7's windows front to back (1 too small, 3 chosen) and asks the chosen
// one's title: the later windows 4 and 5 come in one batch, and their titles never.
TEST(WindowDetailsWalkTest, TitlesOnlyOfTheFirstWindowAskedAndOfTheChosenOne) {
  const std::vector<StackedWindow> windows{{1, 7}, {2, 8}, {3, 7}, {4, 7}, {5, 7}};
  RecordingSource source;
  WindowDetailsWalk walk(windows, source);
  walk.details(0);
  walk.details(2);
  walk.details(2);
  EXPECT_EQ(walk.name(2).text, "3");
  EXPECT_EQ(source.fetches, (std::vector<std::string>{"1+names", "345", "3+names"}));
}

}  // namespace
}  // namespace quen::x11
