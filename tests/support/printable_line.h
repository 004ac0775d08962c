#pragma once
// Whether a message is one line of printable text: no control characters, valid UTF-8.
#include <string>

#include "base/printable_text.h"

namespace q3d::test {

inline bool IsOnePrintableLine(const std::string& message) {
  return !message.empty() && PrintableText(message, message.size() + 1) == message;
}

}  // namespace q3d::test
