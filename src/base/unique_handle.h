// A move-only owner of one OS handle (or mapped view): closes it exactly
// once. Portable so that its ownership rules are tested natively.
#pragma once

#include <utility>

// `Close` is called on every non-empty value; T{} is the empty value.
template <typename T, void (*Close)(T)>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(T value) : value_(value) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : value_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }

  T Get() const { return value_; }
  explicit operator bool() const { return value_ != T{}; }
  T Release() { return std::exchange(value_, T{}); }
  void Reset(T value = T{}) {
    T old = std::exchange(value_, value);
    if (old != T{}) Close(old);
  }

 private:
  T value_{};
};
