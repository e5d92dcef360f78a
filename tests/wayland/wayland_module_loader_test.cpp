#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/wayland/wayland_module.h"

namespace quen::wayland {
namespace {

struct ModuleCase {
  const char* name;
  const char* module;  // built with this build's ABI, or an older one
  mode_t mode;
  bool ownedByTheExecutablesOwner;
  bool opened;
};
void PrintTo(const ModuleCase& row, std::ostream* out) { *out << row.name; }
class WaylandModuleTest : public ::testing::TestWithParam<ModuleCase> {};

// Another user who may write the module could run code as the agent's user.
TEST_P(WaylandModuleTest, OnlyATrustedModuleOfTheExecutablesAbiIsOpened) {
  const ModuleCase& row = GetParam();
  const std::filesystem::path copy = std::filesystem::temp_directory_path() /
                                     ("quen-module-" + std::to_string(getpid()) + row.name);
  std::filesystem::copy_file(row.module, copy);
  ASSERT_EQ(chmod(copy.c_str(), row.mode), 0);
  std::string error;
  EXPECT_EQ(
      openWaylandModuleFile(copy, geteuid() + (row.ownedByTheExecutablesOwner ? 0 : 1), error),
      nullptr);
  EXPECT_EQ(error, row.opened ? "opened" : "");
  std::filesystem::remove(copy);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WaylandModuleTest,
    ::testing::Values(ModuleCase{"Trusted", QUEN_TEST_MODULE, 0755, true, true},
                      ModuleCase{"GroupMayWrite", QUEN_TEST_MODULE, 0775, true, false},
                      ModuleCase{"OthersMayWrite", QUEN_TEST_MODULE, 0757, true, false},
                      ModuleCase{"AnotherOwner", QUEN_TEST_MODULE, 0755, false, false},
                      ModuleCase{"OlderAbi", QUEN_TEST_STALE_MODULE, 0755, true, false}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

}  // namespace
}  // namespace quen::wayland
