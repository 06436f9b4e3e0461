// The command-line scan: names from the option table, values after a blank or '='.
#include "config/OptionScan.h"

#include <algorithm>
#include <utility>

namespace {

/// How an option is written on the command line.
std::string Spelled(std::string_view name) {
  return (name.size() == 1 ? "-" : "--") + std::string(name);
}

}  // namespace

std::string UnknownOptionText(std::string_view typed) {
  return "unknown option '" + std::string(typed) + "'";
}

std::string MissingValueText(std::string_view option) {
  return "option '" + std::string(option) + "' needs a value";
}

std::string BadValueText(std::string_view option, std::string_view what) {
  return std::string(option) + ": " + std::string(what);
}

std::string UnexpectedArgumentText(std::string_view argument) {
  return "unexpected argument '" + std::string(argument) + "'";
}

OptionScan::OptionScan(std::vector<ScanOption> options) : m_options(std::move(options)) {}

const ScanOption* OptionScan::Find(std::string_view name) const {
  for (const ScanOption& option : m_options) {
    if (std::ranges::find(option.names, name) != option.names.end()) return &option;
  }
  return nullptr;
}

bool OptionScan::Parse(std::span<const std::string_view> args, std::string& error) {
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      m_arguments.emplace_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    // "-x" is a one-letter name; a longer word after one dash is not an option of ours.
    const bool isLong = arg.starts_with("--");
    const std::string_view word = arg.substr(isLong ? 2 : 1);
    const std::size_t equals = isLong ? word.find('=') : std::string_view::npos;
    const std::string_view name = word.substr(0, equals);
    const ScanOption* option = Find(name);
    if (option == nullptr || (name.size() == 1) == isLong) {
      error = UnknownOptionText(isLong ? arg.substr(0, 2 + name.size()) : arg);
      return false;
    }
    const std::string spelled = Spelled(name);
    std::string value;
    if (equals != std::string_view::npos) {
      if (!option->takesValue) {
        error = BadValueText(spelled, "takes no value");
        return false;
      }
      value = word.substr(equals + 1);
    } else if (option->takesValue) {
      if (i + 1 == args.size()) {
        error = MissingValueText(spelled);
        return false;
      }
      value = args[++i];
    }
    m_values[option->names.front()] = std::move(value);
  }
  return true;
}

bool OptionScan::IsSet(std::string_view name) const {
  const ScanOption* option = Find(name);
  return option != nullptr && m_values.contains(option->names.front());
}

std::string OptionScan::Value(std::string_view name) const {
  const ScanOption* option = Find(name);
  if (option == nullptr) return {};
  const auto found = m_values.find(option->names.front());
  return found == m_values.end() ? std::string() : found->second;
}
