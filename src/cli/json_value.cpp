#include "cli/json_value.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "base/printable_text.h"

namespace q3d::cli {

JsonValue JsonValue::FromMatrix(const Matrix& m) {
  Array rows;
  if (m.cols() == 1) {
    for (Eigen::Index r = 0; r < m.rows(); ++r) rows.emplace_back(m(r, 0));
    return JsonValue(std::move(rows));
  }
  for (Eigen::Index r = 0; r < m.rows(); ++r) {
    Array row;
    for (Eigen::Index c = 0; c < m.cols(); ++c) row.emplace_back(m(r, c));
    rows.emplace_back(std::move(row));
  }
  return JsonValue(std::move(rows));
}

JsonValue& JsonValue::Set(const std::string& key, JsonValue value) {
  auto* object = std::get_if<Object>(&value_);
  if (!object) throw std::logic_error("JsonValue::Set on a value that is not an object");
  for (auto& member : *object) {
    if (member.first == key) {
      member.second = std::move(value);
      return *this;
    }
  }
  object->emplace_back(key, std::move(value));
  return *this;
}

JsonValue& JsonValue::Merge(const JsonValue& object) {
  const auto* members = std::get_if<Object>(&object.value_);
  if (!members) throw std::logic_error("JsonValue::Merge of a value that is not an object");
  for (const auto& [key, value] : *members) Set(key, value);
  return *this;
}

std::string JsonQuote(const std::string& text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size(); ++i) {
    const char ch = text[i];
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
          out += buffer;
        } else if (c < 0x80) {
          out += ch;
        } else if (const size_t length = Utf8SequenceLength(text, i); length > 0) {
          out.append(text, i, length);
          i += length - 1;
        } else {
          out += "\xEF\xBF\xBD";  // U+FFFD for a byte that is not UTF-8: strict readers refuse it
        }
    }
  }
  out += '"';
  return out;
}

std::string JsonValue::Dump() const {
  std::string out;
  DumpTo(out);
  return out;
}

void JsonValue::DumpTo(std::string& out) const {
  if (std::holds_alternative<std::monostate>(value_)) {
    out += "null";
  } else if (const bool* b = std::get_if<bool>(&value_)) {
    out += *b ? "true" : "false";
  } else if (const int64_t* i = std::get_if<int64_t>(&value_)) {
    out += std::to_string(*i);
  } else if (const uint64_t* u = std::get_if<uint64_t>(&value_)) {
    out += std::to_string(*u);
  } else if (const double* d = std::get_if<double>(&value_)) {
    if (!std::isfinite(*d)) {
      out += "null";
    } else {
      // 17 significant digits give the double back exactly when read.
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%.17g", *d);
      out += buffer;
    }
  } else if (const std::string* s = std::get_if<std::string>(&value_)) {
    out += JsonQuote(*s);
  } else if (const Array* a = std::get_if<Array>(&value_)) {
    out += '[';
    for (size_t k = 0; k < a->size(); ++k) {
      if (k) out += ',';
      (*a)[k].DumpTo(out);
    }
    out += ']';
  } else if (const Object* o = std::get_if<Object>(&value_)) {
    out += '{';
    for (size_t k = 0; k < o->size(); ++k) {
      if (k) out += ',';
      out += JsonQuote((*o)[k].first);
      out += ':';
      (*o)[k].second.DumpTo(out);
    }
    out += '}';
  }
}

}  // namespace q3d::cli
