// The command-line scan: names from the reader's table, values after a blank or "=".
#include "settings/CommandLineScan.h"

#include "settings/CommandLineTexts.h"

namespace {

std::string Quoted(std::string_view text) {
  return "'" + std::string(text) + "'";
}

ScannedWord Mistake(std::string text) {
  ScannedWord word;
  word.kind = ScannedWord::Kind::Mistake;
  word.mistake = std::move(text);
  return word;
}

}  // namespace

ScannedCommandLine ScanCommandLine(std::span<const std::string_view> args,
                                   const OptionLookup& lookup) {
  ScannedCommandLine line;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (line.optionsEnded || arg == "-" || !arg.starts_with('-')) {
      line.words.push_back({ScannedWord::Kind::Argument, arg, {}, false, {}});
      continue;
    }
    if (arg == kEndOfOptions) {
      line.optionsEnded = true;
      continue;
    }
    // "--name=value" splits at the first "=". A one-dash word splits only before the
    // value of an option that takes one ("-style=fusion"); a mistake names the part
    // before the "=" either way.
    const std::size_t equals = arg.find('=');
    const std::string_view before = arg.substr(0, equals);
    const bool split = equals != std::string_view::npos &&
                       (arg.starts_with("--") || lookup(before) == OptionKind::Valued);
    const std::string_view name = split ? before : arg;
    const OptionKind kind = lookup(name);
    if (kind == OptionKind::Unknown) {
      line.words.push_back(Mistake(std::string(kUnknownOptionText) + Quoted(before)));
      continue;
    }
    if (kind == OptionKind::Flag) {
      if (split) {
        line.words.push_back(Mistake(std::string(name) + ": " + std::string(kTakesNoValueText)));
      } else {
        line.words.push_back({ScannedWord::Kind::Option, name, {}, false, {}});
      }
      continue;
    }
    if (split) {
      line.words.push_back({ScannedWord::Kind::Option, name, arg.substr(equals + 1), true, {}});
    } else if (i + 1 < args.size()) {
      line.words.push_back({ScannedWord::Kind::Option, name, args[++i], false, {}});
    } else {
      line.words.push_back(
          Mistake(std::string(kOptionText) + Quoted(name) + std::string(kNeedsAValueText)));
    }
  }
  return line;
}
