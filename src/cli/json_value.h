#pragma once
// A small JSON document model for the tool's --json output: objects keep their keys in
// insertion order so that the output reads in the order a command reports.
#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "numeric/matrix.h"

namespace q3d::cli {

class JsonValue {
 public:
  using Array = std::vector<JsonValue>;
  using Object = std::vector<std::pair<std::string, JsonValue>>;

  JsonValue() = default;  // null
  JsonValue(bool b) : value_(b) {}
  JsonValue(int v) : value_(static_cast<int64_t>(v)) {}
  JsonValue(int64_t v) : value_(v) {}
  JsonValue(uint64_t v) : value_(v) {}
  JsonValue(double v) : value_(v) {}
  JsonValue(const char* s) : value_(std::string(s)) {}
  JsonValue(std::string s) : value_(std::move(s)) {}
  JsonValue(Array a) : value_(std::move(a)) {}
  JsonValue(Object o) : value_(std::move(o)) {}

  // A matrix as an array of rows; a single column as a flat array.
  static JsonValue FromMatrix(const Matrix& m);

  // Appends a member (the value must be an object, as built by Object{}).
  JsonValue& Set(const std::string& key, JsonValue value);
  // Appends (or replaces) every member of another object.
  JsonValue& Merge(const JsonValue& object);

  // Compact text on one line. Non-finite numbers are written as null, as JSON has no
  // spelling for them.
  std::string Dump() const;

 private:
  void DumpTo(std::string& out) const;

  std::variant<std::monostate, bool, int64_t, uint64_t, double, std::string, Array, Object> value_;
};

// Quotes and escapes a string for JSON; a byte that is not UTF-8 becomes U+FFFD.
std::string JsonQuote(const std::string& text);

}  // namespace q3d::cli
