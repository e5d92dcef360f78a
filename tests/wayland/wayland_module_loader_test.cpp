#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/wayland/wayland_module.h"

namespace quen::wayland {
namespace {

// Another user who may write the module could run code as the agent's user.
TEST(WaylandModuleTest, OnlyATrustedModuleOfTheExecutablesAbiIsOpened) {
  const struct {
    const char* name;
    const char* module;  // built with this build's ABI, or an older one
    mode_t mode;
    bool ownedByTheExecutablesOwner, opened;
  } rows[] = {{"trusted", QUEN_TEST_MODULE, 0755, true, true},
              {"group may write", QUEN_TEST_MODULE, 0775, true, false},
              {"others may write", QUEN_TEST_MODULE, 0757, true, false},
              {"another owner", QUEN_TEST_MODULE, 0755, false, false},
              {"older ABI", QUEN_TEST_STALE_MODULE, 0755, true, false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
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
}

}  // namespace
}  // namespace quen::wayland
