#pragma once
// A strict little JSON reader for checking the tool's --json output in tests.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace q3d::test {

class Json {
 public:
  using Array = std::vector<Json>;
  using Object = std::map<std::string, Json>;

  // Nothing when the text is not exactly one JSON value (surrounding space allowed).
  static std::optional<Json> Parse(const std::string& text);

  bool IsNull() const { return std::holds_alternative<std::monostate>(value_); }
  bool IsNumber() const { return std::holds_alternative<double>(value_); }
  bool IsObject() const { return std::holds_alternative<Object>(value_); }
  bool IsArray() const { return std::holds_alternative<Array>(value_); }
  bool Has(const std::string& key) const;

  // Accessors throw std::runtime_error on a wrong type or a missing key, which fails
  // the test that made the call.
  double Number() const;
  bool Bool() const;
  const std::string& String() const;
  const Array& Items() const;
  const Json& operator[](const std::string& key) const;
  const Json& operator[](size_t index) const;

 private:
  friend class JsonParser;
  std::variant<std::monostate, bool, double, std::string, Array, Object> value_;
};

}  // namespace q3d::test
