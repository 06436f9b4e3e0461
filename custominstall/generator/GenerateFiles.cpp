// The whole generation run, in the fixed order the package's installers expect.
#include "generator/GenerateFiles.h"

#include <string>

#include "generator/BusInf.h"
#include "generator/ExtractPayload.h"
#include "generator/FolderLock.h"
#include "generator/GeneratorTexts.h"
#include "generator/SetupInfo.h"
#include "generator/TextFileWriter.h"
#include "generator/VxdInf.h"
#include "generator/W2kInf.h"
#include "generator/WdmInf.h"

namespace {

// Payload ids of the manifest and the names they are written under. The order is
// the package's: id 152 goes before id 147.
struct PayloadRow {
  int id;
  const char* name;
};

constexpr int kUninstaller98Id = 199;
constexpr int kUninstaller2kId = 200;
constexpr int kPreInstallerId = 202;

// clang-format off
constexpr PayloadRow kDriverPayloads[] = {
    {145, "vornbus.sys"},
    {148, "vorncm95.sys"},
    {149, "vorncmnt.sys"},
    {150, "vorncr.sys"},
    {151, "vornser.sys"},
    {152, "vornwh95.sys"},
    {147, "vornwhnt.sys"},
    {153, "vorncomm.vxd"},
    {154, "vornvcd.vxd"},
    {155, "vornvcr.vxd"},
};
// clang-format on

bool RunSteps(const PackageSettings& settings, IMessageBox& box) {
  if (!WriteBusInf(settings, box) || !WriteVxdInf(settings, box) || !WriteW2kInf(settings, box) ||
      !WriteWdmInf(settings, box) || !WriteSetupInfo(settings, box)) {
    return false;
  }
  for (const PayloadRow& row : kDriverPayloads) {
    if (!ExtractPayload(settings, row.name, row.id, box)) {
      return false;
    }
  }
  if (!ExtractPayload(settings, settings.Uninstaller98Name(), kUninstaller98Id, box) ||
      !ExtractPayload(settings, settings.Uninstaller2kName(), kUninstaller2kId, box)) {
    return false;
  }
  // Without the preinstaller an old PreInstaller.exe in the folder is left alone.
  if (settings.generatePreinstaller &&
      !ExtractPayload(settings, "PreInstaller.exe", kPreInstallerId, box)) {
    return false;
  }
  return true;
}

}  // namespace

bool GenerateFiles(const PackageSettings& settings, IMessageBox& box) {
  static_cast<void>(TakeWriteFailure());  // nothing from an earlier run
  // Two runs into one folder take turns, so the folder holds one run's whole package.
  const FolderLock lock(settings.outputDirectory);
  if (RunSteps(settings, box)) {
    box.Show(kFilesGeneratedText, kAppCaption, MessageIcon::None, MessageButtons::Ok, true, {});
    return true;
  }
  // A failure that showed no box of its own (a write after the create) is named here.
  box.Show(kCouldNotGenerateText, kAppCaption, MessageIcon::Stop, MessageButtons::Ok, true,
           TakeWriteFailure());
  return false;
}
