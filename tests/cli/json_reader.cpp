#include "json_reader.h"

#include <cctype>
#include <cstdlib>
#include <stdexcept>

namespace q3d::test {

class JsonParser {
 public:
  explicit JsonParser(const std::string& text) : text_(text) {}

  std::optional<Json> ParseDocument() {
    auto value = ParseValue();
    SkipSpace();
    if (!value || pos_ != text_.size()) return std::nullopt;
    return value;
  }

 private:
  void SkipSpace() {
    while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  }
  bool Consume(const std::string& word) {
    if (text_.compare(pos_, word.size(), word) != 0) return false;
    pos_ += word.size();
    return true;
  }

  std::optional<Json> ParseValue() {
    SkipSpace();
    if (pos_ >= text_.size()) return std::nullopt;
    Json json;
    const char c = text_[pos_];
    if (c == '{') return ParseObject();
    if (c == '[') return ParseArray();
    if (c == '"') {
      auto s = ParseString();
      if (!s) return std::nullopt;
      json.value_ = *s;
    } else if (Consume("true")) {
      json.value_ = true;
    } else if (Consume("false")) {
      json.value_ = false;
    } else if (Consume("null")) {
      json.value_ = std::monostate{};
    } else {
      const char* begin = text_.c_str() + pos_;
      char* end = nullptr;
      const double number = std::strtod(begin, &end);
      if (end == begin) return std::nullopt;
      pos_ += static_cast<size_t>(end - begin);
      json.value_ = number;
    }
    return json;
  }

  std::optional<std::string> ParseString() {
    ++pos_;  // opening quote
    std::string out;
    while (pos_ < text_.size()) {
      const char c = text_[pos_++];
      if (c == '"') return out;
      if (static_cast<unsigned char>(c) < 0x20) return std::nullopt;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos_ >= text_.size()) return std::nullopt;
      const char e = text_[pos_++];
      switch (e) {
        case '"':
          out += '"';
          break;
        case '\\':
          out += '\\';
          break;
        case '/':
          out += '/';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'u': {
          if (pos_ + 4 > text_.size()) return std::nullopt;
          const long code = std::strtol(text_.substr(pos_, 4).c_str(), nullptr, 16);
          pos_ += 4;
          if (code >= 0x80) return std::nullopt;  // the tool escapes control characters only
          out += static_cast<char>(code);
          break;
        }
        default:
          return std::nullopt;
      }
    }
    return std::nullopt;
  }

  std::optional<Json> ParseArray() {
    ++pos_;
    Json::Array items;
    SkipSpace();
    if (Consume("]")) return MakeJson(std::move(items));
    while (true) {
      auto item = ParseValue();
      if (!item) return std::nullopt;
      items.push_back(std::move(*item));
      SkipSpace();
      if (Consume("]")) return MakeJson(std::move(items));
      if (!Consume(",")) return std::nullopt;
    }
  }

  std::optional<Json> ParseObject() {
    ++pos_;
    Json::Object members;
    SkipSpace();
    if (Consume("}")) return MakeJson(std::move(members));
    while (true) {
      SkipSpace();
      if (pos_ >= text_.size() || text_[pos_] != '"') return std::nullopt;
      auto key = ParseString();
      if (!key) return std::nullopt;
      SkipSpace();
      if (!Consume(":")) return std::nullopt;
      auto value = ParseValue();
      if (!value || members.count(*key)) return std::nullopt;  // duplicate keys are a fault
      members.emplace(*key, std::move(*value));
      SkipSpace();
      if (Consume("}")) return MakeJson(std::move(members));
      if (!Consume(",")) return std::nullopt;
    }
  }

  template <typename T>
  static Json MakeJson(T value) {
    Json json;
    json.value_ = std::move(value);
    return json;
  }

  const std::string& text_;
  size_t pos_ = 0;
};

std::optional<Json> Json::Parse(const std::string& text) {
  return JsonParser(text).ParseDocument();
}

bool Json::Has(const std::string& key) const {
  const auto* object = std::get_if<Object>(&value_);
  return object && object->count(key);
}

namespace {
template <typename T, typename V>
const T& Get(const V& value, const char* what) {
  const T* p = std::get_if<T>(&value);
  if (!p) throw std::runtime_error(std::string("JSON value is not ") + what);
  return *p;
}
}  // namespace

double Json::Number() const { return Get<double>(value_, "a number"); }
bool Json::Bool() const { return Get<bool>(value_, "a boolean"); }
const std::string& Json::String() const { return Get<std::string>(value_, "a string"); }
const Json::Array& Json::Items() const { return Get<Array>(value_, "an array"); }

const Json& Json::operator[](const std::string& key) const {
  const Object& object = Get<Object>(value_, "an object");
  const auto it = object.find(key);
  if (it == object.end()) throw std::runtime_error("JSON object has no member " + key);
  return it->second;
}

const Json& Json::operator[](size_t index) const {
  const Array& items = Items();
  if (index >= items.size()) throw std::runtime_error("JSON array index out of range");
  return items[index];
}

}  // namespace q3d::test
