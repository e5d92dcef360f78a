#include "platform/linux/small_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>

namespace quen::linux_platform {
namespace {

namespace fs = std::filesystem;

// A process rooted in a folder of its own may put a FIFO where its /.flatpak-info belongs:
// the read is refused at once, as for anything but a regular file, and never waits.
TEST(SmallFileTest, OnlyARegularFileIsReadAndNothingWaits) {
  char pattern[] = "/tmp/quen-small-file-XXXXXX";
  const fs::path folder = ::mkdtemp(pattern);
  std::ofstream(folder / "regular") << "0123456789";
  ASSERT_EQ(::mkfifo((folder / ".flatpak-info").c_str(), 0600), 0);
  fs::create_symlink("regular", folder / "link");
  fs::create_symlink(".flatpak-info", folder / "fifo-link");
  const struct {
    const char* name;
    FinalLink finalLink;
    std::size_t limit;
    std::optional<std::string> expected;
  } rows[] = {
      {"regular", FinalLink::Refuse, 4, "0123"}, {"link", FinalLink::Follow, 64, "0123456789"},
      {"link", FinalLink::Refuse, 64, std::nullopt},
      {".flatpak-info", FinalLink::Refuse, 64, std::nullopt},
      {"fifo-link", FinalLink::Follow, 64, std::nullopt}, {"", FinalLink::Follow, 64, std::nullopt},
  };
  for (const auto& row : rows) {
    const std::string path = (folder / row.name).string();
    auto reading = std::async(std::launch::async, [&] {
      return readSmallRegularFile(path, row.limit, row.finalLink);
    });
    if (reading.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
      ADD_FAILURE() << "waits on " << row.name;
      // A writer that comes and goes releases a reader held in open() or read().
      ::close(::open((folder / ".flatpak-info").c_str(), O_WRONLY | O_NONBLOCK));
    }
    EXPECT_EQ(reading.get(), row.expected) << row.name;
  }
  fs::remove_all(folder);
}

}  // namespace
}  // namespace quen::linux_platform
