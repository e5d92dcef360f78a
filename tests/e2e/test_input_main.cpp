// quen_test_input: injects input through the XTEST extension, so that it reaches the X
// server as device input and raises XInput2 raw events (a pointer warp, as
// `xdotool mousemove` makes, raises none). Runs its actions in order against $DISPLAY and
// returns once the server has processed all of them.
//
//   move-by DX DY           relative motion
//   move-to X Y             absolute motion
//   click BUTTON [COUNT]    press and release
//   press BUTTON            release BUTTON
//   scroll up|down|left|right [COUNT]   wheel clicks: buttons 4, 5, 6, 7
//   drag DX DY              press button 1, move in ten steps, release it
//   key NAME [COUNT]        press and release; NAME is one character, a name from the
//                           table below, or #<keycode>
//   key-down NAME           key-up NAME
//   motion-flood RATE SECONDS   relative motions at RATE per second, one per request
//   sleep MILLISECONDS

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

struct FreeDeleter {
  void operator()(void* pointer) const { std::free(pointer); }
};

struct Injector {
  xcb_connection_t* connection;
  xcb_window_t root;

  void fake(std::uint8_t type, std::uint8_t detail, std::int16_t x = 0, std::int16_t y = 0,
            xcb_window_t window = XCB_NONE) {
    xcb_test_fake_input(connection, type, detail, XCB_CURRENT_TIME, window, x, y, 0);
  }
  void moveBy(int dx, int dy) {
    fake(XCB_MOTION_NOTIFY, 1, static_cast<std::int16_t>(dx), static_cast<std::int16_t>(dy));
  }
  void moveTo(int x, int y) {
    fake(XCB_MOTION_NOTIFY, 0, static_cast<std::int16_t>(x), static_cast<std::int16_t>(y), root);
  }
  void button(int number, bool down) {
    fake(down ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE, static_cast<std::uint8_t>(number));
  }
  void key(xcb_keycode_t code, bool down) { fake(down ? XCB_KEY_PRESS : XCB_KEY_RELEASE, code); }
  bool sync() {
    std::unique_ptr<xcb_get_input_focus_reply_t, FreeDeleter> reply(
        xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    return reply != nullptr;
  }
};

std::optional<xcb_keysym_t> keysymFor(const std::string& name) {
  static const std::pair<const char*, xcb_keysym_t> NAMED[] = {
      {"Return", 0xff0d},  {"space", 0x0020},     {"Tab", 0xff09},
      {"Escape", 0xff1b},  {"BackSpace", 0xff08}, {"Shift_L", 0xffe1},
      {"Control_L", 0xffe3}, {"Alt_L", 0xffe9},
  };
  for (const auto& [known, keysym] : NAMED)
    if (name == known) return keysym;
  const auto first = static_cast<unsigned char>(name.empty() ? 0 : name[0]);
  if (name.size() == 1 && first >= 0x20 && first < 0x7f) return first;  // Latin-1 keysyms
  return std::nullopt;
}

std::optional<xcb_keycode_t> keycodeFor(xcb_connection_t* connection, const std::string& name) {
  if (name.size() > 1 && name[0] == '#') return static_cast<xcb_keycode_t>(std::stoi(name.substr(1)));
  const auto keysym = keysymFor(name);
  if (!keysym) return std::nullopt;
  const xcb_setup_t* setup = xcb_get_setup(connection);
  const int count = setup->max_keycode - setup->min_keycode + 1;
  std::unique_ptr<xcb_get_keyboard_mapping_reply_t, FreeDeleter> mapping(
      xcb_get_keyboard_mapping_reply(
          connection,
          xcb_get_keyboard_mapping(connection, setup->min_keycode, static_cast<std::uint8_t>(count)),
          nullptr));
  if (!mapping) return std::nullopt;
  const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(mapping.get());
  const int perKeycode = mapping->keysyms_per_keycode;
  for (int index = 0; index < count; ++index)
    if (keysyms[index * perKeycode] == *keysym)
      return static_cast<xcb_keycode_t>(setup->min_keycode + index);
  return std::nullopt;
}

void motionFlood(Injector& injector, double perSecond, double seconds) {
  const auto period = std::chrono::nanoseconds(static_cast<long long>(1e9 / perSecond));
  const auto end = std::chrono::steady_clock::now() +
                   std::chrono::nanoseconds(static_cast<long long>(seconds * 1e9));
  auto next = std::chrono::steady_clock::now();
  for (int step = 0; next < end; ++step) {
    injector.moveBy(step % 2 == 0 ? 1 : -1, 0);  // back and forth: the pointer stays put
    xcb_flush(injector.connection);
    next += period;
    std::this_thread::sleep_until(next);
  }
}

int scrollButton(const std::string& direction) {
  if (direction == "up") return 4;
  if (direction == "down") return 5;
  if (direction == "left") return 6;
  if (direction == "right") return 7;
  throw std::invalid_argument("scroll direction");
}

xcb_keycode_t requireKeycode(xcb_connection_t* connection, const std::string& name) {
  const auto code = keycodeFor(connection, name);
  if (!code) throw std::invalid_argument("unknown key " + name);
  return *code;
}

// click, scroll and key: one press and release, COUNT times (once when no count follows).
std::size_t runRepeatedAction(Injector& injector, const std::vector<std::string>& args,
                              std::size_t index) {
  const std::string& action = args.at(index);
  if (action != "click" && action != "scroll" && action != "key")
    throw std::invalid_argument("unknown action " + action);
  if (index + 1 >= args.size()) throw std::invalid_argument(action + " needs an argument");
  const std::string& target = args[index + 1];
  const bool counted = index + 2 < args.size() &&
                       std::isdigit(static_cast<unsigned char>(args[index + 2][0]));
  const int count = counted ? std::stoi(args[index + 2]) : 1;
  for (int repeat = 0; repeat < count; ++repeat) {
    if (action == "click" || action == "scroll") {
      const int button = action == "click" ? std::stoi(target) : scrollButton(target);
      injector.button(button, true), injector.button(button, false);
    } else {
      const xcb_keycode_t code = requireKeycode(injector.connection, target);
      injector.key(code, true), injector.key(code, false);
    }
  }
  return index + (counted ? 3 : 2);
}

// Runs the action at args[index]; returns the index of the next one.
std::size_t runAction(Injector& injector, const std::vector<std::string>& args, std::size_t index) {
  const std::string& action = args.at(index);
  auto number = [&](std::size_t offset) { return std::stoi(args.at(index + offset)); };
  if (action == "move-by") return injector.moveBy(number(1), number(2)), index + 3;
  if (action == "move-to") return injector.moveTo(number(1), number(2)), index + 3;
  if (action == "press" || action == "release")
    return injector.button(number(1), action == "press"), index + 2;
  if (action == "key-down" || action == "key-up") {
    injector.key(requireKeycode(injector.connection, args.at(index + 1)), action == "key-down");
    return index + 2;
  }
  if (action == "sleep") {
    xcb_flush(injector.connection);
    std::this_thread::sleep_for(std::chrono::milliseconds(number(1)));
    return index + 2;
  }
  if (action == "drag") {
    injector.button(1, true);
    for (int step = 0; step < 10; ++step) injector.moveBy(number(1) / 10, number(2) / 10);
    injector.button(1, false);
    return index + 3;
  }
  if (action == "motion-flood") {
    motionFlood(injector, std::stod(args.at(index + 1)), std::stod(args.at(index + 2)));
    return index + 3;
  }
  return runRepeatedAction(injector, args, index);
}

}  // namespace

int main(int argc, char** argv) {
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(connection)) {
    std::fprintf(stderr, "quen_test_input: cannot open display\n");
    return 1;
  }
  std::unique_ptr<xcb_test_get_version_reply_t, FreeDeleter> version(xcb_test_get_version_reply(
      connection, xcb_test_get_version(connection, 2, 2), nullptr));
  if (!version) {
    std::fprintf(stderr, "quen_test_input: the X server has no XTEST extension\n");
    xcb_disconnect(connection);
    return 1;
  }
  Injector injector{connection, xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root};
  const std::vector<std::string> args(argv + 1, argv + argc);
  int status = 0;
  try {
    for (std::size_t index = 0; index < args.size();) index = runAction(injector, args, index);
  } catch (const std::out_of_range&) {
    std::fprintf(stderr, "quen_test_input: an action lacks its arguments\n");
    status = 2;
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "quen_test_input: %s\n", failure.what());
    status = 2;
  }
  if (!injector.sync()) status = 1;
  xcb_disconnect(connection);
  return status;
}
