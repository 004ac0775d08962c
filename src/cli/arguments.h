#pragma once
// Command-line parsing: each command declares its options, the parser checks the words
// against them and every value is converted with a message naming the option at fault.
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace q3d::cli {

struct OptionSpec {
  std::string name;       // "--image1"
  std::string shortName;  // "-o", or empty
  std::string valueName;  // "FILE"; empty for a flag
  std::string help;
  bool required = false;
  bool TakesValue() const { return !valueName.empty(); }
};

struct CommandSpec {
  std::string name;
  std::string positionals;  // usage text of the positional arguments, e.g. "P.qvp"
  int positionalCount = 0;
  std::string summary;
  std::vector<OptionSpec> options;  // --json, --verbose and --help are added by the parser
};

class ParsedArguments {
 public:
  bool Has(const std::string& name) const { return flags_.count(name) || values_.count(name); }
  std::optional<std::string> Value(const std::string& name) const;
  const std::vector<std::string>& Positionals() const { return positionals_; }

 private:
  friend std::optional<ParsedArguments> ParseArguments(const CommandSpec&,
                                                       std::span<const std::string>, std::string&);
  std::vector<std::string> positionals_;
  std::map<std::string, std::string> values_;
  std::set<std::string> flags_;
};

// The options every command takes.
inline const std::string kJsonOption = "--json";
inline const std::string kVerboseOption = "--verbose";
inline const std::string kHelpOption = "--help";

// Parses the words after the command name. On failure returns nothing and sets error to a
// one-line message. With --help present the remaining checks (required options, number
// of positionals) are skipped so that help is always available.
std::optional<ParsedArguments> ParseArguments(const CommandSpec& spec,
                                              std::span<const std::string> words,
                                              std::string& error);

std::string FormatCommandHelp(const CommandSpec& spec);

// Value conversions. Each returns nothing and sets error ("--seed: ...") when the text is
// not a whole, finite number in range.
std::optional<int64_t> ParseInteger(const std::string& option, const std::string& text, int64_t min,
                                    int64_t max, std::string& error);
std::optional<uint64_t> ParseUnsigned(const std::string& option, const std::string& text,
                                      std::string& error);
std::optional<double> ParseReal(const std::string& option, const std::string& text, double min,
                                double max, std::string& error);

struct PixelPosition {
  int x = 0;
  int y = 0;
};
// "X,Y" with two whole numbers.
std::optional<PixelPosition> ParsePixelPosition(const std::string& option, const std::string& text,
                                                std::string& error);

}  // namespace q3d::cli
