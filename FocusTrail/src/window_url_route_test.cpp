#include "FocusTrail/src/window_url_route.h"

#include <gtest/gtest.h>

#include <map>

namespace quen::focus {
namespace {

using platform::BusCall;

// A window's elements as a table: element 0 is the window's client element.
struct FakeElement {
  std::int32_t role;
  std::string value;
  std::vector<std::uint32_t> children;
  BusCall valueCall = BusCall::Done;
};

class FakeWindowAccessibility final : public platform::WindowAccessibility {
 public:
  explicit FakeWindowAccessibility(std::map<std::uint32_t, FakeElement> elements,
                                   BusCall openCall = BusCall::Done)
      : elements_(std::move(elements)), openCall_(openCall) {}
  BusCall open(std::uint64_t, std::uint32_t& root) override {
    root = 0;
    return openCall_;
  }
  BusCall children(std::uint32_t element, std::vector<std::uint32_t>& children) override {
    children = elements_.at(element).children;
    return BusCall::Done;
  }
  BusCall role(std::uint32_t element, std::int32_t& role) override {
    role = elements_.at(element).role;
    return BusCall::Done;
  }
  BusCall value(std::uint32_t element, std::string& value) override {
    value = elements_.at(element).value;
    return elements_.at(element).valueCall;
  }

 private:
  std::map<std::uint32_t, FakeElement> elements_;
  BusCall openCall_;
};

constexpr std::int32_t CLIENT = 10, DOCUMENT = 15, TEXT = 42, PANE = 16;
const UrlRequest REQUEST{"Google Chrome", 42, 0x1234, "Grüße"};

TEST(WindowUrlRoute, AnswersFromTheDocumentElseAFullUrlInTheBar) {
  const struct {
    const char* what;
    std::map<std::uint32_t, FakeElement> elements;
    UrlAnswer expected;
  } cases[] = {
      {"the document, deeper than the bar",
       {{0, {CLIENT, "", {1, 2}}}, {1, {TEXT, "https://bar.example/", {}}}, {2, {PANE, "", {3}}},
        {3, {DOCUMENT, "https://example.org/grüße", {}}}},
       {Value("https://example.org/grüße"), false}},
      {"no document: the bar's full URL",
       {{0, {CLIENT, "", {1, 2}}}, {1, {TEXT, "search", {}}}, {2, {TEXT, "https://a.example/x", {}}}},
       {Value("https://a.example/x"), false}},
      {"the bar without a scheme, or typing",
       {{0, {CLIENT, "", {1, 2}}}, {1, {TEXT, "example.org/page", {}}}, {2, {TEXT, "://x", {}}}},
       {false, false}},
      {"a document without its URL yet", {{0, {CLIENT, "", {1}}}, {1, {DOCUMENT, "", {}}}},
       {false, false}},
      {"a timed-out value", {{0, {CLIENT, "", {1}}}, {1, {DOCUMENT, "", {}, BusCall::TimedOut}}},
       timedOutAnswer()},
  };
  for (const auto& c : cases) {
    FakeWindowAccessibility elements(c.elements);
    EXPECT_EQ(windowUrl(elements, REQUEST), c.expected) << c.what;
  }
}

TEST(WindowUrlRoute, AWindowThatCannotBeOpenedGivesTheConnectionCode) {
  FakeWindowAccessibility elements({}, BusCall::Failed);
  EXPECT_EQ(windowUrl(elements, REQUEST), otherErrorAnswer(-609));
  UrlRequest withoutWindow = REQUEST;
  withoutWindow.window = 0;
  EXPECT_EQ(windowUrl(elements, withoutWindow), (UrlAnswer{false, false}));
}

}  // namespace
}  // namespace quen::focus
