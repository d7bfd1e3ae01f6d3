#pragma once
// What a store call returns: its value, or the message of the statement that
// failed. Stores turn a DatabaseError into this value at their boundary, so
// callers decide how a failure is reported instead of an exception crossing
// into handlers, auth or admin.

#include <string>
#include <type_traits>
#include <utility>
#include <variant>

#include "storage/Database.h"

namespace solvane::server {

struct TStoreError {
  std::string message;
};

template <class T>
class [[nodiscard]] TStoreResult {
 public:
  TStoreResult(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
  TStoreResult(TStoreError error) : m_state(std::in_place_index<1>, std::move(error)) {}

  bool Ok() const { return m_state.index() == 0; }
  const std::string& Error() const { return std::get<1>(m_state).message; }
  // REQUIRES: Ok().
  T& Value() { return std::get<0>(m_state); }
  const T& Value() const { return std::get<0>(m_state); }
  T& operator*() { return Value(); }
  const T& operator*() const { return Value(); }
  T* operator->() { return &Value(); }
  const T* operator->() const { return &Value(); }

 private:
  std::variant<T, TStoreError> m_state;
};

template <>
class [[nodiscard]] TStoreResult<void> {
 public:
  TStoreResult() = default;
  TStoreResult(TStoreError error) : m_error(std::move(error.message)), m_failed(true) {}

  bool Ok() const { return !m_failed; }
  const std::string& Error() const { return m_error; }

 private:
  std::string m_error;
  bool m_failed = false;
};

// Runs `body` (which uses Statements) and returns its value, or the failed
// statement's message.
template <class F>
auto Guarded(F&& body) -> TStoreResult<std::invoke_result_t<F>> {
  try {
    if constexpr (std::is_void_v<std::invoke_result_t<F>>) {
      body();
      return {};
    } else {
      return body();
    }
  } catch (const DatabaseError& e) {
    return TStoreError{e.what()};
  }
}

}  // namespace solvane::server
