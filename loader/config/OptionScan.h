// Splits a command line into options and values by a table of option names:
// `--name value`, `--name=value`, `-h`, and `--` ending the options. Mistakes
// are worded the way every program of the kit words them.
#pragma once

#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

/// One option the scan knows: its names (long first, a one-letter name is
/// written with one dash) and whether it takes a value.
struct ScanOption {
  std::vector<std::string_view> names;
  bool takesValue = false;
};

/// The options and arguments of one command line.
class OptionScan {
 public:
  explicit OptionScan(std::vector<ScanOption> options);

  /// Reads the arguments after the program name. false with a one-line
  /// reason in error on the first mistake (unknown option, missing value, a
  /// value given to a switch).
  bool Parse(std::span<const std::string_view> args, std::string& error);

  bool IsSet(std::string_view name) const;
  /// The last value given to the option (empty when it is not set).
  std::string Value(std::string_view name) const;
  /// What followed the options or stood between them, in order.
  const std::vector<std::string>& Arguments() const { return m_arguments; }

 private:
  const ScanOption* Find(std::string_view name) const;

  std::vector<ScanOption> m_options;
  std::map<std::string_view, std::string>
      m_values;  // first name of each given option -> last value
  std::vector<std::string> m_arguments;
};

/// The shared wordings.
std::string UnknownOptionText(std::string_view typed);
std::string MissingValueText(std::string_view option);
std::string BadValueText(std::string_view option, std::string_view what);
std::string UnexpectedArgumentText(std::string_view argument);
