#pragma once

// A window's accessible elements through Active Accessibility (oleacc): the window's client
// object (AccessibleObjectFromWindow, OBJID_CLIENT), each element's children
// (AccessibleChildren), role (accRole) and value (accValue). COM is set up, multithreaded,
// on the thread that makes the first call (the URL worker's) and kept for its life; the
// elements of one walk hold their objects until the next open(). A call goes to the
// window's process and waits for it: a browser that hangs holds the worker's thread, which
// the agent's bounded wait and back-off leave alone.

#include <windows.h>
#include <oleacc.h>

#include <memory>
#include <vector>

#include "platform/platform.h"

namespace quen::windows {

class MsaaElements final : public platform::WindowAccessibility {
 public:
  MsaaElements() = default;
  ~MsaaElements() override;
  MsaaElements(const MsaaElements&) = delete;
  MsaaElements& operator=(const MsaaElements&) = delete;

  platform::BusCall open(std::uint64_t window, std::uint32_t& root) override;
  platform::BusCall children(std::uint32_t element, std::vector<std::uint32_t>& children) override;
  platform::BusCall role(std::uint32_t element, std::int32_t& role) override;
  platform::BusCall value(std::uint32_t element, std::string& value) override;

 private:
  // An object, or one simple child of it (`child` other than CHILDID_SELF).
  struct Element {
    IAccessible* object;
    LONG child;
  };
  void forget();
  std::uint32_t add(IAccessible* object, LONG child);  // takes a reference of its own

  bool comReady_ = false;
  std::vector<Element> elements_;
};

// The elements, as the Windows backend makes them for FocusTrail.
std::unique_ptr<platform::WindowAccessibility> openMsaaElements();

}  // namespace quen::windows
