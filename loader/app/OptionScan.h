// Splits a command line into options and values by a table of option names:
// `--name value`, `--name=value`, `-h`, and `--` ending the options. Mistakes
// are worded the way every program of the kit words them.
#pragma once

#include <QString>
#include <QStringList>

#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

/// One option the scan knows: its names (long first, a one-letter name is
/// written with one dash) and whether it takes a value.
struct ScanOption {
  QStringList names;
  bool takesValue = false;
};

/// The options and arguments of one command line. The query names follow
/// QCommandLineParser so the option handling reads the same.
class OptionScan {
 public:
  explicit OptionScan(std::vector<ScanOption> options);

  /// Reads the arguments after the program name. false with a one-line
  /// reason in error on the first mistake (unknown option, missing value, a
  /// value given to a switch).
  bool parse(std::span<const std::string_view> args, std::string& error);

  bool isSet(const QString& name) const;
  /// The last value given to the option (empty when it is not set).
  QString value(const QString& name) const;
  /// What followed the options or stood between them, in order.
  const QStringList& positionalArguments() const { return m_positional; }

 private:
  const ScanOption* Find(const QString& name) const;

  std::vector<ScanOption> m_options;
  std::map<QString, QString> m_values;  // first name of each given option -> last value
  QStringList m_positional;
};

/// The shared wordings.
std::string UnknownOptionText(std::string_view typed);
std::string MissingValueText(std::string_view option);
std::string BadValueText(std::string_view option, std::string_view what);
std::string UnexpectedArgumentText(std::string_view argument);
