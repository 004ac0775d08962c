#pragma once
// Text that came from a file or an argument, made safe to show in a one-line message:
// control characters escaped, invalid UTF-8 replaced, the length capped.
#include <cstddef>
#include <string>
#include <string_view>

namespace q3d {

inline constexpr size_t kMessageFieldLimit = 200;

// Control characters become \n, \t, \r or \xNN; bytes that are not UTF-8 become U+FFFD;
// a text longer than maxBytes is cut on a character boundary and ends in "...".
std::string PrintableText(std::string_view text, size_t maxBytes = kMessageFieldLimit);

// Length of the well-formed multi-byte UTF-8 sequence starting at text[i] (no overlong form,
// surrogate or code point beyond U+10FFFF), or 0 when the bytes there are not one.
size_t Utf8SequenceLength(std::string_view text, size_t i);

// PrintableText in double quotes: how messages name files and fields.
std::string QuotedText(std::string_view text, size_t maxBytes = kMessageFieldLimit);

}  // namespace q3d
