// Splits VB7350CustomInstall's command line into options, values and arguments by a
// table of option names, the same way for --batch and for the wizard's Qt options.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

/// What a name on the command line is to the program reading it.
enum class OptionKind { Unknown, Flag, Valued };

/// Looks a name up in the reader's option table ("--output", "-platform").
using OptionLookup = std::function<OptionKind(std::string_view name)>;

/// One word of the command line as the scan understood it, in the order given.
struct ScannedWord {
  enum class Kind { Option, Argument, Mistake };
  Kind kind = Kind::Argument;
  std::string_view name;   // the option's name, or the argument itself
  std::string_view value;  // the option's value ("" for a flag)
  bool joined = false;     // the value followed a "=" in the same word
  std::string mistake;     // the one-line message of a Mistake
};

/// The words of one command line; optionsEnded when "--" was among them.
struct ScannedCommandLine {
  std::vector<ScannedWord> words;
  bool optionsEnded = false;
};

/// Reads the arguments after the program name. A value follows its option after a blank
/// or "=" ("--long-name=abc=" gives "abc="; the next word is the value whatever it looks
/// like); "--" ends the options; "-" and words without a leading dash are arguments.
/// Mistakes (unknown option, a value given to a flag, a value missing) are words of
/// their own, so the reader decides which one it reports.
ScannedCommandLine ScanCommandLine(std::span<const std::string_view> args,
                                   const OptionLookup& lookup);
