#pragma once

// Reading a small file that another process may control (a name in another process's root
// folder, a desktop entry) without ever waiting on it: a FIFO, a device or a socket put in
// a regular file's place is refused at once instead of holding the main loop in open() or
// read() for as long as its owner likes.

#include <cstddef>
#include <optional>
#include <string>

namespace quen::linux_platform {

// Whether the path's last component may be a symbolic link. A link in another process's
// root folder is refused: an absolute target would be resolved in this process's root, not
// in that process's.
enum class FinalLink { Follow, Refuse };

// The first `limit` bytes of the regular file at `path`; none when there is no regular file
// there (a FIFO, a device, a socket, a folder; a link under FinalLink::Refuse) or it cannot
// be opened without waiting (a lease another process holds).
std::optional<std::string> readSmallRegularFile(const std::string& path, std::size_t limit,
                                                FinalLink finalLink);

}  // namespace quen::linux_platform
