// Writing one text file of the package in the code page the settings chose.
#include "generator/PackageText.h"

#include <optional>

#include "generator/TextFileWriter.h"
#include "settings/CodePage.h"

bool WritePackageText(const PackageSettings& settings, const std::string& fileName,
                      std::string_view text, IMessageBox& box, MessageIcon openFailureIcon) {
  const std::optional<std::string> encoded = EncodeInCodePage(text, settings.codePage);
  if (!encoded) {
    NoteWriteFailure(settings.OutputPath(fileName) + std::string(kCharacterNotInCodePageText) +
                     std::to_string(settings.codePage));
    return false;
  }
  return WritePackageFile(settings, fileName, *encoded, box, openFailureIcon);
}
