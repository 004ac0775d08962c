#pragma once
// The outcome of an operation that can fail for a reason the user should hear: bad input,
// a file that cannot be read, matches that fix no geometry. The reason is the user's
// message ("Error: ..." and what to do); the code, where one helps, matches the error
// stack's codes. The document turns a failed Status into the error stack's record, the
// front ends show it. Exceptions stay for programming errors and out-of-memory.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace q3d {

class [[nodiscard]] Status {
 public:
  static Status Ok() { return Status(); }
  // severity as in the error stack: 2 an error, 1 a warning.
  static Status Fail(std::string reason, int32_t code = 0, int32_t severity = 2) {
    Status status;
    status.failed_ = true;
    status.reason_ =
        reason.empty() ? std::string("Error: the operation failed.") : std::move(reason);
    status.code_ = code;
    status.severity_ = severity;
    return status;
  }

  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  // The user's message; empty on success.
  const std::string& Reason() const { return reason_; }
  int32_t Code() const { return code_; }
  int32_t Severity() const { return severity_; }

 private:
  Status() = default;
  bool failed_ = false;
  std::string reason_;
  int32_t code_ = 0;
  int32_t severity_ = 0;
};

inline constexpr int32_t kOutOfMemoryCode = -1;
inline constexpr int32_t kImageLibraryCode = -8;
inline constexpr const char* kOutOfMemoryMessage = "Error: Out of memory";
inline Status OutOfMemory() { return Status::Fail(kOutOfMemoryMessage, kOutOfMemoryCode); }
// The user stopped the operation: nothing to report beyond that it did not happen.
inline constexpr int32_t kCancelledCode = -9;
inline Status Cancelled() {
  return Status::Fail("The operation was cancelled.", kCancelledCode, 1);
}
inline bool IsCancelled(const Status& status) { return status.Code() == kCancelledCode; }

// A value, or the reason there is none.
template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : value_(std::move(value)), status_(Status::Ok()) {}  // NOLINT: implicit
  Result(Status failure) : status_(std::move(failure)) {}               // NOLINT: implicit

  bool ok() const { return value_.has_value(); }
  explicit operator bool() const { return ok(); }
  const Status& GetStatus() const { return status_; }
  const std::string& Reason() const { return status_.Reason(); }

  T& Value() & { return *value_; }
  const T& Value() const& { return *value_; }
  T&& Value() && { return std::move(*value_); }
  T* operator->() { return &*value_; }
  const T* operator->() const { return &*value_; }
  T& operator*() & { return *value_; }
  const T& operator*() const& { return *value_; }

 private:
  std::optional<T> value_;
  Status status_;
};

}  // namespace q3d
