#include "cli/arguments.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace q3d::cli {
namespace {

const std::vector<OptionSpec>& CommonOptions() {
  static const std::vector<OptionSpec> options = {
      {kJsonOption, "", "", "print the result as one JSON object on stdout"},
      {kVerboseOption, "", "", "show the numeric diagnostics on stderr"},
      {kHelpOption, "-h", "", "show this help"},
  };
  return options;
}

const OptionSpec* FindOption(const CommandSpec& spec, const std::string& word) {
  for (const auto* list : {&spec.options, &CommonOptions()})
    for (const OptionSpec& option : *list)
      if (word == option.name || (!option.shortName.empty() && word == option.shortName))
        return &option;
  return nullptr;
}

bool IsOptionWord(const std::string& word) {
  // "-5" or "-.5" is a (negative) value, not an option.
  if (word.size() < 2 || word[0] != '-') return false;
  const char next = word[1];
  return !(std::isdigit(static_cast<unsigned char>(next)) || next == '.');
}

}  // namespace

std::optional<std::string> ParsedArguments::Value(const std::string& name) const {
  const auto it = values_.find(name);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

std::optional<ParsedArguments> ParseArguments(const CommandSpec& spec,
                                              std::span<const std::string> words,
                                              std::string& error) {
  ParsedArguments parsed;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (word == "--") {
      for (++i; i < words.size(); ++i) parsed.positionals_.push_back(words[i]);
      break;
    }
    if (!IsOptionWord(word)) {
      parsed.positionals_.push_back(word);
      continue;
    }
    std::string name = word;
    std::optional<std::string> inlineValue;
    if (const size_t eq = word.find('='); eq != std::string::npos && word.rfind("--", 0) == 0) {
      name = word.substr(0, eq);
      inlineValue = word.substr(eq + 1);
    }
    const OptionSpec* option = FindOption(spec, name);
    if (!option) {
      error = "unknown option " + name + " for '" + spec.name + "' (see " + spec.name + " --help)";
      return std::nullopt;
    }
    if (parsed.Has(option->name)) {
      error = "option " + option->name + " given twice";
      return std::nullopt;
    }
    if (!option->TakesValue()) {
      if (inlineValue) {
        error = "option " + option->name + " takes no value";
        return std::nullopt;
      }
      parsed.flags_.insert(option->name);
      continue;
    }
    if (!inlineValue) {
      if (i + 1 >= words.size()) {
        error = "option " + option->name + " needs a value " + option->valueName;
        return std::nullopt;
      }
      inlineValue = words[++i];
    }
    parsed.values_[option->name] = *inlineValue;
  }
  if (parsed.Has(kHelpOption)) return parsed;

  for (const OptionSpec& option : spec.options) {
    if (option.required && !parsed.Has(option.name)) {
      error = "'" + spec.name + "' needs " + option.name + " " + option.valueName;
      return std::nullopt;
    }
  }
  const auto count = static_cast<int>(parsed.positionals_.size());
  if (count != spec.positionalCount) {
    if (count < spec.positionalCount)
      error = "'" + spec.name + "' needs " + spec.positionals;
    else
      error = "unexpected argument '" +
              parsed.positionals_[static_cast<size_t>(spec.positionalCount)] + "' for '" +
              spec.name + "'";
    return std::nullopt;
  }
  return parsed;
}

std::string FormatCommandHelp(const CommandSpec& spec) {
  std::string text = "Usage: quorvan3d-cli " + spec.name;
  if (!spec.positionals.empty()) text += " " + spec.positionals;
  for (const OptionSpec& option : spec.options) {
    std::string item = option.shortName.empty() ? option.name : option.shortName;
    if (option.TakesValue()) item += " " + option.valueName;
    text += option.required ? " " + item : " [" + item + "]";
  }
  text += "\n\n" + spec.summary + "\n\nOptions:\n";
  for (const auto* list : {&spec.options, &CommonOptions()}) {
    for (const OptionSpec& option : *list) {
      std::string left = "  ";
      if (!option.shortName.empty()) left += option.shortName + ", ";
      left += option.name;
      if (option.TakesValue()) left += " " + option.valueName;
      if (left.size() < 28)
        left.resize(28, ' ');
      else
        left += "  ";
      text += left + option.help + "\n";
    }
  }
  return text;
}

namespace {
// Whether min <= value <= max; otherwise the error names the option and the range.
template <typename T>
bool WithinRange(const std::string& option, const std::string& text, T value, T min, T max,
                 std::string& error) {
  if (value >= min && value <= max) return true;
  error = option + ": " + text + " is outside " + std::to_string(min) + ".." + std::to_string(max);
  return false;
}
}  // namespace

std::optional<int64_t> ParseInteger(const std::string& option, const std::string& text, int64_t min,
                                    int64_t max, std::string& error) {
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (text.empty() || end != text.c_str() + text.size() || errno == ERANGE) {
    error = option + ": '" + text + "' is not a whole number";
    return std::nullopt;
  }
  if (!WithinRange<int64_t>(option, text, value, min, max, error)) return std::nullopt;
  return value;
}

std::optional<uint64_t> ParseUnsigned(const std::string& option, const std::string& text,
                                      std::string& error) {
  errno = 0;
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
  // strtoull accepts a sign and wraps negative numbers around: refuse both.
  if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0])) ||
      end != text.c_str() + text.size() || errno == ERANGE) {
    error = option + ": '" + text + "' is not a whole number from 0 to " +
            std::to_string(std::numeric_limits<uint64_t>::max());
    return std::nullopt;
  }
  return value;
}

std::optional<double> ParseReal(const std::string& option, const std::string& text, double min,
                                double max, std::string& error) {
  errno = 0;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(value)) {
    error = option + ": '" + text + "' is not a finite number";
    return std::nullopt;
  }
  if (!WithinRange(option, text, value, min, max, error)) return std::nullopt;
  return value;
}

std::optional<PixelPosition> ParsePixelPosition(const std::string& option, const std::string& text,
                                                std::string& error) {
  const size_t comma = text.find(',');
  if (comma == std::string::npos) {
    error = option + ": '" + text + "' is not X,Y";
    return std::nullopt;
  }
  constexpr int64_t kLimit = std::numeric_limits<int>::max();
  const auto x = ParseInteger(option, text.substr(0, comma), -kLimit, kLimit, error);
  if (!x) return std::nullopt;
  const auto y = ParseInteger(option, text.substr(comma + 1), -kLimit, kLimit, error);
  if (!y) return std::nullopt;
  return PixelPosition{static_cast<int>(*x), static_cast<int>(*y)};
}

}  // namespace q3d::cli
