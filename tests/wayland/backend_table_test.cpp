#include "platform/linux/backend_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fake/fake_system.h"

namespace quen::linux_platform {
namespace {

std::unique_ptr<platform::Backend> opens(std::string&) {
  return std::make_unique<fake::FakeSystem>();
}
std::unique_ptr<platform::Backend> stepsAside(std::string&) { return nullptr; }
std::unique_ptr<platform::Backend> failsA(std::string& error) {
  error = "A: cannot open";
  return nullptr;
}
std::unique_ptr<platform::Backend> failsB(std::string& error) {
  error = "B: cannot open";
  return nullptr;
}

struct TableCase {
  const char* name;
  std::vector<BackendEntry> table;
  bool opened;
  std::string error;
};

void PrintTo(const TableCase& row, std::ostream* out) { *out << row.name; }

class BackendTableTest : public ::testing::TestWithParam<TableCase> {};

TEST_P(BackendTableTest, TheFirstThatOpensIsUsedElseTheLastCauseIsReported) {
  std::string error = "stale";
  const auto backend = openFirstBackend(GetParam().table, error);
  EXPECT_EQ(backend != nullptr, GetParam().opened);
  EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, BackendTableTest,
    ::testing::Values(
        TableCase{"AnEntryWithNothingHereStepsAside", {{"a", stepsAside}, {"b", opens}}, true, ""},
        TableCase{"AFailureBeforeOneThatOpensIsForgotten", {{"a", failsA}, {"b", opens}}, true, ""},
        TableCase{"TheLastFailureIsReported", {{"a", failsA}, {"b", failsB}}, false,
                  "B: cannot open"},
        TableCase{"AStepAsideHidesNoFailure", {{"a", failsA}, {"b", stepsAside}}, false,
                  "A: cannot open"},
        TableCase{"NothingHereAtAll", {{"a", stepsAside}}, false, ""}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

}  // namespace
}  // namespace quen::linux_platform
