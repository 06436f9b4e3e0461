// Copying one embedded payload file into the package folder.
#include "generator/ExtractPayload.h"

#include <span>
#include <string>

#include "generator/TextFileWriter.h"
#include "payloads/Payloads.h"

bool ExtractPayload(const PackageSettings& settings, const std::string& name, int id,
                    IMessageBox& box) {
  // Look the payload up before touching the disk, so a build without it leaves no
  // empty file behind.
  const std::optional<std::span<const std::uint8_t>> payload = FindPayload(id);
  if (!payload) {
    NoteWriteFailure(settings.OutputPath(name) + ": payload " + std::to_string(id) +
                     " is not part of this build");
    return false;
  }
  const std::span<const char> bytes(reinterpret_cast<const char*>(payload->data()),
                                    payload->size());
  return WritePackageFile(settings, name, bytes, box, MessageIcon::Stop);
}
