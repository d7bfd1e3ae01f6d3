#pragma once
// The value of a store call a test expects to succeed: a failed statement
// fails the test (and gives an empty value) instead of reading as "no".

#include <gtest/gtest.h>

#include <utility>

#include "storage/StoreResult.h"

namespace solvane::server {

template <class T>
T Must(TStoreResult<T> result) {
  if (!result.Ok()) {
    ADD_FAILURE() << "store call failed: " << result.Error();
    return T{};
  }
  return std::move(*result);
}

inline bool Must(const TStoreResult<void>& result) {
  if (!result.Ok()) ADD_FAILURE() << "store call failed: " << result.Error();
  return result.Ok();
}

}  // namespace solvane::server
