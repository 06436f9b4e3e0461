// What the program says about its own build.
#include "generator/BuildNotice.h"

#include "settings/MessageBox.h"

std::string PlaceholderNotice(const PayloadBuild& build) {
  if (!build.placeholders) {
    return {};
  }
  return "This build holds placeholder payloads: the .sys, .vxd and .exe files it writes are "
         "not working drivers. Build with " +
         std::string(kPayloadDirOption) + "=<folder of the real files> to embed the real ones.";
}

std::string VersionText(const PayloadBuild& build) {
  return std::string(kAppCaption) + " " + VB7350_CUSTOMINSTALL_VERSION + "\n" +
         "Payloads: " + (build.placeholders ? "placeholders (not working drivers)" : "real") +
         "\n" + "Payload manifest SHA-256: " + std::string(build.manifestChecksum) + "\n";
}
