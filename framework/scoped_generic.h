// ScopedGeneric: the one shape of the holders of Windows resources (handles,
// windows, libraries, automation strings, COM references, device contexts).
#pragma once

#include <utility>

namespace orvanta {

// Owns at most one resource and frees it when reset or destroyed. Shaped like
// unique_ptr: Get() borrows, Reset() frees the held resource and adopts
// another, Release() hands ownership to the caller, and Receive() lends the
// emptied slot to an API that returns a new resource. Copying is deleted.
//
// Traits says what the resource is:
//   using Type = ...;                  // the resource's type
//   static Type Invalid();             // the value that holds nothing
//   static void Free(Type resource);   // called for every held resource
//   static Type Normal(Type resource); // optional: maps other "nothing"
//                                      // values to Invalid() on adoption
template <class Traits>
class ScopedGeneric {
 public:
  using Type = typename Traits::Type;

  ScopedGeneric() = default;
  // Adopts |resource|.
  explicit ScopedGeneric(Type resource) : resource_(Normal(resource)) {}
  ScopedGeneric(ScopedGeneric&& other) noexcept : resource_(other.Release()) {}
  ScopedGeneric& operator=(ScopedGeneric&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ScopedGeneric(const ScopedGeneric&) = delete;
  ScopedGeneric& operator=(const ScopedGeneric&) = delete;
  ~ScopedGeneric() { Reset(); }

  Type Get() const { return resource_; }
  explicit operator bool() const { return resource_ != Traits::Invalid(); }

  void Reset(Type resource = Traits::Invalid()) {
    const Type old = std::exchange(resource_, Normal(resource));
    if (old != Traits::Invalid()) Traits::Free(old);
  }
  [[nodiscard]] Type Release() { return std::exchange(resource_, Traits::Invalid()); }
  Type* Receive() {
    Reset();
    return &resource_;
  }

 private:
  static Type Normal(Type resource) {
    if constexpr (requires { Traits::Normal(resource); })
      return Traits::Normal(resource);
    else
      return resource;
  }

  Type resource_ = Traits::Invalid();
};

}  // namespace orvanta
