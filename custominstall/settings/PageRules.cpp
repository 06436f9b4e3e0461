// The checks each wizard page makes on its values.
#include "settings/PageRules.h"

#include <initializer_list>

#include "settings/CodePage.h"
#include "settings/Utf8Text.h"
#include "settings/Validation.h"

namespace {

using Field = std::string PackageSettings::*;

// The first of fields that is empty; only an empty box is a blank, spaces count as filled in.
std::optional<FieldProblem> FirstBlank(const PackageSettings& settings,
                                       std::initializer_list<Field> fields) {
  for (const Field field : fields) {
    if ((settings.*field).empty()) {
      return FieldProblem{field, std::string(kFillInAllBlanksText)};
    }
  }
  return std::nullopt;
}

std::optional<FieldProblem> FirstFailing(const PackageSettings& settings,
                                         std::initializer_list<Field> fields,
                                         bool (*rule)(std::string_view), std::string_view text) {
  for (const Field field : fields) {
    if (!rule(settings.*field)) {
      return FieldProblem{field, std::string(text)};
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<FieldProblem> CheckNamesPage(const PackageSettings& settings) {
  if (auto blank =
          FirstBlank(settings, {&PackageSettings::uninstallFileName, &PackageSettings::infPrefix,
                                &PackageSettings::shortName, &PackageSettings::longName})) {
    return blank;
  }
  // Both begin the names of the package's files, which must exist on Windows and are
  // written unquoted in the INF files' copy lists.
  for (const Field field : {&PackageSettings::uninstallFileName, &PackageSettings::infPrefix}) {
    if (std::optional<std::string> problem = InfFileNameProblem(settings.*field)) {
      return FieldProblem{field, std::move(*problem)};
    }
  }
  // The INF prefix is always followed by more letters ("bus.inf"); the uninstall file
  // name is followed by ".exe", so "CON" would name the console.
  if (NamesWindowsDevice(settings.uninstallFileName)) {
    return FieldProblem{
        &PackageSettings::uninstallFileName,
        std::string(kDeviceFileNameText) + "; found '" + settings.uninstallFileName + "'."};
  }
  // The long name is the provider inside quoted INF strings; the short name is in no file.
  if (auto quote =
          FirstFailing(settings, {&PackageSettings::longName}, IsInfQuotedText, kQuoteInNameText)) {
    return quote;
  }
  return FirstFailing(settings, {&PackageSettings::longName}, HasNoEndOfFileMark,
                      kEndOfFileInNameText);
}

std::optional<FieldProblem> CheckDeviceNamesPage(const PackageSettings& settings) {
  const std::initializer_list<Field> kNames = {&PackageSettings::comDeviceName,
                                               &PackageSettings::usbDeviceName};
  if (auto blank = FirstBlank(settings, kNames)) {
    return blank;
  }
  if (auto quote = FirstFailing(settings, kNames, IsInfQuotedText, kQuoteInNameText)) {
    return quote;
  }
  return FirstFailing(settings, kNames, HasNoEndOfFileMark, kEndOfFileInNameText);
}

std::optional<FieldProblem> CheckVidPidPage(const PackageSettings& settings) {
  const std::initializer_list<Field> kIds = {&PackageSettings::vid, &PackageSettings::pid};
  for (const Field field : kIds) {
    if (HasHexPrefix(settings.*field)) {
      return FieldProblem{field, std::string(kHexPrefixText)};
    }
  }
  if (auto hex = FirstFailing(settings, kIds, IsHexNumber, kInvalidHexText)) {
    return hex;
  }
  return FirstBlank(settings, kIds);
}

std::optional<FieldProblem> CheckOptionsPage(const PackageSettings& settings) {
  if (auto invalid = FirstFailing(settings, {&PackageSettings::targetDirectory}, IsValidDirectory,
                                  kInvalidDirectoryText)) {
    return invalid;
  }
  // Windows refuses control characters in a path: the preinstaller could not make it.
  std::string_view rest = settings.targetDirectory;
  while (!rest.empty()) {
    const TextCharacter character = TakeCharacter(rest);
    if (character.codePoint && *character.codePoint < 0x20) {
      return FieldProblem{
          &PackageSettings::targetDirectory,
          std::string(kControlInDirectoryText) + "; found " + DescribeCharacter(character) + "."};
    }
  }
  return std::nullopt;
}

namespace {

constexpr std::string_view kBeyondAsciiText =
    " is beyond ASCII. Windows reads an INF file without a byte-order mark in its own code "
    "page, so choose the code page of this text ";
constexpr std::string_view kNotInCodePageText = " is not in code page ";
constexpr std::string_view kNotUtf8Text = " is not UTF-8 text.";

struct LabelledField {
  Field field;
  std::string_view label;
};

// clang-format off
constexpr LabelledField kLabels[] = {
    {&PackageSettings::uninstallFileName, "Uninstall file name"},
    {&PackageSettings::infPrefix, "INF prefix"},
    {&PackageSettings::shortName, "Short name"},
    {&PackageSettings::longName, "Long name"},
    {&PackageSettings::comDeviceName, "COM device name"},
    {&PackageSettings::usbDeviceName, "USB device name"},
    {&PackageSettings::vid, "VID"},
    {&PackageSettings::pid, "PID"},
    {&PackageSettings::targetDirectory, "Target directory"},
    {&PackageSettings::outputDirectory, "Output folder"},
};
// clang-format on

constexpr std::size_t kUsbIdDigits = 4;

}  // namespace

std::optional<FieldProblem> CheckCodePage(const PackageSettings& settings,
                                          std::string_view wayOut) {
  const int codePage = settings.codePage;
  for (const Field field :
       {&PackageSettings::shortName, &PackageSettings::longName, &PackageSettings::comDeviceName,
        &PackageSettings::usbDeviceName, &PackageSettings::targetDirectory}) {
    std::string_view rest = settings.*field;
    while (!rest.empty()) {
      const TextCharacter character = TakeCharacter(rest);
      const std::string named = DescribeCharacter(character);
      if (!character.codePoint) {
        return FieldProblem{field, named + std::string(kNotUtf8Text)};
      }
      if (CodePageHolds(codePage, character.bytes)) {
        continue;
      }
      if (codePage == kAsciiOnly) {
        return FieldProblem{field,
                            named + std::string(kBeyondAsciiText) + std::string(wayOut) + "."};
      }
      return FieldProblem{field,
                          named + std::string(kNotInCodePageText) + std::to_string(codePage) + "."};
    }
  }
  return std::nullopt;
}

std::string_view FieldLabel(std::string PackageSettings::*field) {
  for (const LabelledField& labelled : kLabels) {
    if (labelled.field == field) {
      return labelled.label;
    }
  }
  return {};
}

std::optional<std::string> ShortUsbIdNote(std::string_view id) {
  if (id.empty() || id.size() >= kUsbIdDigits) {
    return std::nullopt;
  }
  const std::string padded = std::string(kUsbIdDigits - id.size(), '0') + std::string(id);
  return "Windows reports USB IDs with four digits, so " + std::string(id) +
         " matches no device; type " + padded + ".";
}
