// A value or the reason it could not be had. Parsers of untrusted bytes
// return these, so the layer above can turn the reason into the program's
// message and a test can say which check refused an input.
#pragma once

#include <optional>
#include <utility>
#include <variant>

namespace pk {

// Success, or a reason (an enum) for a failure.
template <typename E>
class [[nodiscard]] Status {
 public:
  Status() = default;
  Status(E reason) : reason_(reason) {}  // NOLINT: a reason converts to a failed status

  explicit operator bool() const { return !reason_; }
  bool ok() const { return !reason_; }
  // The reason of a failed status.
  E reason() const { return *reason_; }

 private:
  std::optional<E> reason_;
};

template <typename T, typename E>
class [[nodiscard]] Result {
 public:
  Result(T value) : v_(std::in_place_index<0>, std::move(value)) {}  // NOLINT
  Result(E reason) : v_(std::in_place_index<1>, reason) {}           // NOLINT

  explicit operator bool() const { return v_.index() == 0; }
  bool ok() const { return v_.index() == 0; }
  E reason() const { return std::get<1>(v_); }

  T& value() & { return std::get<0>(v_); }
  const T& value() const& { return std::get<0>(v_); }
  T&& value() && { return std::get<0>(std::move(v_)); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T&& operator*() && { return std::move(*this).value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }

  // The value, or `fallback` after a failure.
  T value_or(T fallback) const& { return ok() ? value() : std::move(fallback); }
  // The value as an optional, forgetting the reason.
  std::optional<T> optional() && {
    if (!ok()) return std::nullopt;
    return std::move(value());
  }

 private:
  std::variant<T, E> v_;
};

}  // namespace pk
