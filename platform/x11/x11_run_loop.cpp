#include "platform/x11/x11_run_loop.h"

#include <xcb/xcb.h>

#include <utility>

#include "platform/linux/stdio_output.h"

namespace quen::x11 {

X11RunLoop::X11RunLoop(Connection& connection, EventPump& events)
    : connection_(connection), events_(events) {}

void X11RunLoop::scheduleRepeating(platform::Seconds interval, std::function<void()> callback) {
  ++repeatingTimers_;
  loop_.scheduleRepeating(interval, [this, callback = std::move(callback)] {
    callback();
    if (afterRepeatingTimer_) afterRepeatingTimer_();
  });
}

void X11RunLoop::scheduleOnce(platform::Seconds delay, std::function<void()> callback) {
  loop_.scheduleOnce(delay, std::move(callback));
}

int X11RunLoop::run(std::function<void()> didFinishLaunching) {
  if (!watching_) {
    watching_ = true;
    const auto pumpOrStop = [this](bool readSocket) {
      if (!events_.pump(readSocket)) loop_.stop(1);
    };
    loop_.watchFileDescriptor(xcb_get_file_descriptor(connection_.get()),
                              [pumpOrStop] { pumpOrStop(true); });
    loop_.setBeforeSleep([pumpOrStop] { pumpOrStop(false); });
    if (const int output = linux_platform::StandardOutputHangupWatch::descriptorToWatch(); output >= 0)
      loop_.watchFileDescriptor(output, [output] { linux_platform::StandardOutputHangupWatch::onReady(output); });
  }
  return loop_.run(std::move(didFinishLaunching));
}

}  // namespace quen::x11
