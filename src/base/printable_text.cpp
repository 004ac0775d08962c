#include "base/printable_text.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace q3d {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

std::string Escaped(uint8_t c) {
  switch (c) {
    case '\n':
      return "\\n";
    case '\r':
      return "\\r";
    case '\t':
      return "\\t";
    default: {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\x%02X", c);
      return buffer;
    }
  }
}

// The C1 controls (U+0080 to U+009F) are well-formed but not printable.
bool IsC1Control(std::string_view text, size_t i) {
  return static_cast<uint8_t>(text[i]) == 0xC2 && i + 1 < text.size() &&
         static_cast<uint8_t>(text[i + 1]) <= 0x9F;
}

}  // namespace

size_t Utf8SequenceLength(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
  const uint8_t lead = byte(i);
  size_t length = 0;
  uint32_t code = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07u;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0u) != 0x80u) return 0;
    code = (code << 6) | (byte(i + k) & 0x3Fu);
  }
  const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
  if (overlong || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0;
  return length;
}

std::string PrintableText(std::string_view text, size_t maxBytes) {
  std::string out;
  out.reserve(std::min(text.size(), maxBytes) + 3);
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<uint8_t>(text[i]);
    std::string_view piece;
    std::string escaped;
    size_t used = 1;
    if (c >= 0x20 && c < 0x7F) {
      piece = text.substr(i, 1);
    } else if (c < 0x80) {
      escaped = Escaped(c);
      piece = escaped;
    } else if (const size_t length = Utf8SequenceLength(text, i);
               length > 0 && !IsC1Control(text, i)) {
      piece = text.substr(i, length);
      used = length;
    } else {
      piece = kReplacement;
    }
    if (out.size() + piece.size() > maxBytes) {
      out += "...";
      return out;
    }
    out += piece;
    i += used;
  }
  return out;
}

std::string QuotedText(std::string_view text, size_t maxBytes) {
  return "\"" + PrintableText(text, maxBytes) + "\"";
}

}  // namespace q3d
