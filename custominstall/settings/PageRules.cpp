// The checks each wizard page makes on its values.
#include "settings/PageRules.h"

#include <initializer_list>

#include "settings/Validation.h"

namespace {

using Field = std::string PackageSettings::*;

// The first of fields that is empty; only an empty box is a blank, spaces count as filled in.
std::optional<FieldProblem> FirstBlank(const PackageSettings& settings,
                                       std::initializer_list<Field> fields) {
  for (const Field field : fields) {
    if ((settings.*field).empty()) {
      return FieldProblem{field, kFillInAllBlanksText};
    }
  }
  return std::nullopt;
}

std::optional<FieldProblem> FirstFailing(const PackageSettings& settings,
                                         std::initializer_list<Field> fields,
                                         bool (*rule)(std::string_view), std::string_view text) {
  for (const Field field : fields) {
    if (!rule(settings.*field)) {
      return FieldProblem{field, text};
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<FieldProblem> CheckNamesPage(const PackageSettings& settings) {
  if (auto blank =
          FirstBlank(settings, {&PackageSettings::UninstallFileName, &PackageSettings::InfPrefix,
                                &PackageSettings::ShortName, &PackageSettings::LongName})) {
    return blank;
  }
  // Both begin the names of the package's files, which must exist on Windows.
  if (auto name =
          FirstFailing(settings, {&PackageSettings::UninstallFileName, &PackageSettings::InfPrefix},
                       IsWindowsFileName, kInvalidFileNameText)) {
    return name;
  }
  // The long name is the provider inside quoted INF strings; the short name is in no file.
  return FirstFailing(settings, {&PackageSettings::LongName}, IsInfQuotedText, kQuoteInNameText);
}

std::optional<FieldProblem> CheckDeviceNamesPage(const PackageSettings& settings) {
  const std::initializer_list<Field> kNames = {&PackageSettings::ComDeviceName,
                                               &PackageSettings::UsbDeviceName};
  if (auto blank = FirstBlank(settings, kNames)) {
    return blank;
  }
  return FirstFailing(settings, kNames, IsInfQuotedText, kQuoteInNameText);
}

std::optional<FieldProblem> CheckVidPidPage(const PackageSettings& settings) {
  const std::initializer_list<Field> kIds = {&PackageSettings::Vid, &PackageSettings::Pid};
  if (auto hex = FirstFailing(settings, kIds, IsHexNumber, kInvalidHexText)) {
    return hex;
  }
  return FirstBlank(settings, kIds);
}

std::optional<FieldProblem> CheckOptionsPage(const PackageSettings& settings) {
  return FirstFailing(settings, {&PackageSettings::TargetDirectory}, IsValidDirectory,
                      kInvalidDirectoryText);
}
