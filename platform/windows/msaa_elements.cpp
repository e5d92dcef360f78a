#include "platform/windows/msaa_elements.h"

#include <string_view>

#include "platform/windows/process_identity.h"

namespace quen::windows {
namespace {

using platform::BusCall;

// IID_IAccessible, declared here: mingw-w64 10's liboleacc.a resolves IID_IAccessible to
// bytes that are not this interface's id (measured), so every query of it fails.
constexpr GUID ACCESSIBLE_INTERFACE = {
    0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

// A failed call: the process did not answer in time (RPC_E_CALL_REJECTED and the like come
// from a busy process), or anything else.
BusCall failure(HRESULT result) {
  return result == HRESULT_FROM_WIN32(ERROR_TIMEOUT) || result == RPC_E_TIMEOUT
             ? BusCall::TimedOut
             : BusCall::Failed;
}

VARIANT childVariant(LONG child) {
  VARIANT variant;
  VariantInit(&variant);
  variant.vt = VT_I4;
  variant.lVal = child;
  return variant;
}

// A child window appears among its parent's children as its window object (role
// ROLE_SYSTEM_WINDOW), whose one child is its client object, where its content is; Wine's
// window objects answer no role and have no children. Such a child is walked as its client
// object: null for any other element.
IAccessible* clientOfWindowObject(IAccessible* object) {
  VARIANT role;
  VariantInit(&role);
  const bool known = SUCCEEDED(object->get_accRole(childVariant(CHILDID_SELF), &role));
  const bool windowObject = !known || (role.vt == VT_I4 && role.lVal == ROLE_SYSTEM_WINDOW);
  VariantClear(&role);
  HWND window = nullptr;
  if (!windowObject || FAILED(WindowFromAccessibleObject(object, &window)) || window == nullptr)
    return nullptr;
  IAccessible* client = nullptr;
  if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT),
                                        ACCESSIBLE_INTERFACE, reinterpret_cast<void**>(&client))))
    return nullptr;
  return client;
}

}  // namespace

std::unique_ptr<platform::WindowAccessibility> openMsaaElements() {
  return std::make_unique<MsaaElements>();
}

MsaaElements::~MsaaElements() {
  forget();
  // COM stays set up on the worker's thread until it ends: this destructor may run elsewhere.
}

void MsaaElements::forget() {
  for (Element& element : elements_) element.object->Release();
  elements_.clear();
}

std::uint32_t MsaaElements::add(IAccessible* object, LONG child) {
  object->AddRef();
  elements_.push_back(Element{object, child});
  return static_cast<std::uint32_t>(elements_.size() - 1);
}

BusCall MsaaElements::open(std::uint64_t window, std::uint32_t& root) {
  if (!comReady_) {
    const HRESULT started = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (FAILED(started) && started != RPC_E_CHANGED_MODE) return BusCall::Unreachable;
    comReady_ = true;
  }
  forget();
  IAccessible* client = nullptr;
  const HRESULT result =
      AccessibleObjectFromWindow(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window)),
                                 static_cast<DWORD>(OBJID_CLIENT), ACCESSIBLE_INTERFACE,
                                 reinterpret_cast<void**>(&client));
  if (FAILED(result) || client == nullptr) return failure(result);
  root = add(client, CHILDID_SELF);
  client->Release();
  return BusCall::Done;
}

BusCall MsaaElements::children(std::uint32_t element, std::vector<std::uint32_t>& children) {
  if (element >= elements_.size()) return BusCall::Failed;
  const Element parent = elements_[element];
  if (parent.child != CHILDID_SELF) return BusCall::Done;  // a simple child has none
  LONG count = 0;
  if (const HRESULT result = parent.object->get_accChildCount(&count); FAILED(result))
    return failure(result);
  if (count <= 0) return BusCall::Done;
  std::vector<VARIANT> found(static_cast<std::size_t>(count));
  LONG obtained = 0;
  if (const HRESULT result = AccessibleChildren(parent.object, 0, count, found.data(), &obtained);
      FAILED(result))
    return failure(result);
  for (LONG index = 0; index < obtained; ++index) {
    VARIANT& child = found[static_cast<std::size_t>(index)];
    if (child.vt == VT_DISPATCH && child.pdispVal != nullptr) {
      IAccessible* object = nullptr;
      if (SUCCEEDED(child.pdispVal->QueryInterface(ACCESSIBLE_INTERFACE,
                                                   reinterpret_cast<void**>(&object)))) {
        IAccessible* client = clientOfWindowObject(object);
        children.push_back(add(client ? client : object, CHILDID_SELF));
        if (client) client->Release();
        object->Release();
      }
    } else if (child.vt == VT_I4) {
      children.push_back(add(parent.object, child.lVal));
    }
    VariantClear(&child);
  }
  return BusCall::Done;
}

BusCall MsaaElements::role(std::uint32_t element, std::int32_t& role) {
  if (element >= elements_.size()) return BusCall::Failed;
  VARIANT answer;
  VariantInit(&answer);
  const HRESULT result =
      elements_[element].object->get_accRole(childVariant(elements_[element].child), &answer);
  if (FAILED(result)) return failure(result);
  role = answer.vt == VT_I4 ? answer.lVal : 0;
  VariantClear(&answer);
  return BusCall::Done;
}

BusCall MsaaElements::value(std::uint32_t element, std::string& value) {
  if (element >= elements_.size()) return BusCall::Failed;
  BSTR text = nullptr;
  const HRESULT result =
      elements_[element].object->get_accValue(childVariant(elements_[element].child), &text);
  if (FAILED(result)) return failure(result);
  value = text ? fromWide(std::wstring_view(text, SysStringLen(text))) : std::string();
  SysFreeString(text);
  return BusCall::Done;
}

}  // namespace quen::windows
