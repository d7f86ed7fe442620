// Handler slots of the HID layer: a piece of code bound to an object. Two
// slots are "the same handler" when their code is the same, whatever object
// they are bound to; the controller relies on that to pass its handlers on to
// the devices that still hold its previous one.
#pragma once

#include <array>
#include <cstring>
#include <functional>
#include <typeinfo>
#include <utility>

namespace hid {

template <typename Signature>
class THidEvent;

template <typename R, typename... Args>
class THidEvent<R(Args...)> {
 public:
  THidEvent() = default;

  // A member function of an object: the usual way a window binds its handlers.
  template <typename T>
  THidEvent(T* object, R (T::*method)(Args...))
      : object_(object), code_(CodeOf(method)), call_([object, method](Args... args) -> R {
          return (object->*method)(std::forward<Args>(args)...);
        }) {}

  // Any callable, with the caller's own token standing for its code: two
  // slots made with the same token count as the same handler.
  THidEvent(const void* codeToken, std::function<R(Args...)> call, const void* object = nullptr)
      : object_(object), call_(std::move(call)) {
    std::memcpy(code_.bytes.data(), &codeToken, sizeof codeToken);
  }

  bool Assigned() const { return static_cast<bool>(call_); }
  explicit operator bool() const { return Assigned(); }
  const void* Object() const { return object_; }

  // True when both slots hold the same code (both empty counts as the same).
  bool SameCode(const THidEvent& other) const {
    return code_.type == other.code_.type && code_.bytes == other.code_.bytes;
  }

  R operator()(Args... args) const { return call_(std::forward<Args>(args)...); }

 private:
  struct Code {
    const std::type_info* type = nullptr;
    std::array<unsigned char, 2 * sizeof(void*)> bytes{};
    bool operator==(const Code&) const = default;
  };

  template <typename T>
  static Code CodeOf(R (T::*method)(Args...)) {
    static_assert(sizeof(method) <= sizeof(Code::bytes), "unexpected member pointer size");
    Code code;
    code.type = &typeid(T);
    std::memcpy(code.bytes.data(), &method, sizeof method);
    return code;
  }

  const void* object_ = nullptr;
  Code code_;
  std::function<R(Args...)> call_;
};

}  // namespace hid
