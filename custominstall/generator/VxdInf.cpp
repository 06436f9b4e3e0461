// The Windows 9x VCOMM port INF: port registry values and ten logical configurations.
#include "generator/VxdInf.h"

#include <string>
#include <string_view>

#include "generator/CrlfText.h"
#include "generator/PackageText.h"
#include "generator/TemplateValues.h"
#include "generator/VendorNotice.h"

namespace {

// clang-format off
// One row per line of the file; $(...) names a setting. Spacing, tabs and the
// odd spellings are what Windows setup has always been given; keep them.
constexpr std::string_view kVxdInfHead[] = {
    kStar,
    ";",
    "; Name:  $(InfPrefix)vxd.inf ",
    ";",
    "; Function:",
    ";\tInstall the $(ComDeviceName) (VCOMM)",
    ";",
};
constexpr std::string_view kVxdInfBody[] = {
    ";",
    kStar,
    kEmpty,
    "[Version]",
    R"(signature="$CHICAGO$")",
    "Class=Ports",
    "ClassGuid={4D36E978-E325-11CE-BFC1-08002BE10318}",
    "Provider=%Provider%",
    "DriverVer=03/11/2004, 4.20.0.2700",
    ";CatalogFile=$(InfPrefix)ser.cat",
    kEmpty,
    kDash,
    "; No files are copied by this file.. no filecopy init declarations are here.",
    kDash,
    kEmpty,
    kDash,
    "; Table of Contents",
    kDash,
    "[Manufacturer]",
    "%VORN%=VORN",
    kEmpty,
    kDash,
    "; Device-by-device entries",
    kDash,
    "[VORN]",
    R"(%PortDesc% = VORN.Install, VORNCR\{7A3C91E2-5D04-4B8F-9E61-2C0D4F8A1B53})",
    kEmpty,
    kDash,
    "; The exclude-from-select stuff",
    kDash,
    "[ControlFlags]",
    "ExcludeFromSelect = *",
    kEmpty,
    kDash,
    "; Installation instructions",
    kDash,
    "[VORN.Install]",
    "AddReg\t\t= VORN.W95AddReg,VORN.W95Overrides",
    kEmpty,
    "[VORN.Install.Nt]",
    kEmpty,
    kDash,
    ";  Registry",
    kDash,
    ";**** here's the stuff for W95 ports.",
    ";**** it's in this INF file, but we'll not use it until we get enumerated.",
    "[VORN.W95AddReg]",
    "HKR,,DevLoader,,*vcomm",
    "HKR,,PortDriver,,vorncomm.vxd",
    "HKR,,Contention,,vornvcd.vxd",
    "HKR,,DCB,3,1C,00,00,00, 00,C2,01,00, 11,33,00,00, 00,00, 0a,00, 0a,00, 08, 00, 00, 11, 13, 00, 00, 00",
    "HKR,,PortSubClass,1,01",
    "HKR,,ConfigDialog,,serialui.dll",
    R"(HKR,,EnumPropPages,,"serialui.dll,EnumPropPages")",
    kEmpty,
    kDash,
    ";  Logical Configurations",
    kDash,
    "[VORN.W95Overrides]",
};
constexpr std::string_view kVxdInfTail[] = {
    kEmpty,
    kEmpty,
    kDash,
    "; STRINGS",
    kDash,
    "[Strings]",
    kEmpty,
    ";BEGIN ENG - US English Strings",
    "Provider = \"$(LongName)\"",
    "VORN = \"$(LongName)\"",
    kEmpty,
    "PortDesc = \"$(ComDeviceName)\"",
    kEmpty,
    "CustomerDataPath = \"$(ComDeviceName)\"",
    R"(DriverSet = "$(ComDeviceName) Software")",
    R"(UninstallFile = "VORNUninstall.exe")",
    R"(TbrxOptions = "Uninstallable")",
    kEmpty,
    ";END ENG - US English Strings",
    kEmpty,
    ";--- strings following this line should not be localized ---",
    kEmpty,
    ";*** end of file ***",
};
// The ten logical configurations: COM1..COM4 with their classic interrupts, the same
// ports with any interrupt, then anywhere in 100..3FF with any and with no interrupt.
struct OverrideBlock {
  std::string_view comment;
  std::string_view range;
  std::string_view mask;  // empty: the block has no IRQ descriptor
};

constexpr OverrideBlock kOverrideBlocks[] = {
    {";-- Config for 3f8 - COM1,IRQ4", R"(F8,03,FF,03, \  ; IOR_Min / IOR_Max)", R"(10,00,00,00, \  ; IRQD_Req_Mask / IRQD_Reserved)"},
    {";--- Config for 2f8 0 COM2 IRQ3", R"(F8,02,FF,02, \  ; IOR_Min / IOR_Max)", R"(08,00,00,00, \  ; IRQD_Req_Mask / IRQD_Reserved)"},
    {";--- Config for 3e8 0 COM3 IRQ4", R"(E8,03,EF,03, \  ; IOR_Min / IOR_Max)", R"(10,00,00,00, \  ; IRQD_Req_Mask / IRQD_Reserved)"},
    {";--- Config for 2e8 0 COM4 IRQ3", R"(E8,02,EF,02, \  ; IOR_Min / IOR_Max)", R"(08,00,00,00, \  ; IRQD_Req_Mask / IRQD_Reserved)"},
    {";-- Config for 3f8 - COM1 IRQAny", R"(F8,03,FF,03, \  ; IOR_Min / IOR_Max)", R"(FF,FF,00,00, \  ; IRQD_Req_Mask / IRQD_Reserved)"},
    {";--- Config for 2f8 0 COM2 IRQAny", R"(F8,02,FF,02, \  ; IOR_Min / IOR_Max)", R"(FF,FF,00,00, \  ; IRQD_Req_Mask / IRQD_Reserved)"},
    {";--- Config for 3e8 0 COM3 IRQAny", R"(E8,03,EF,03, \  ; IOR_Min / IOR_Max)", R"(FF,FF,00,00, \  ; IRQD_Req_Mask / IRQD_Reserved)"},
    {";--- Config for 2e8 0 COM4 IRQAny", R"(E8,02,EF,02, \  ; IOR_Min / IOR_Max)", R"(FF,FF,00,00, \  ; IRQD_Req_Mask / IRQD_Reserved)"},
    {";--- Config for anywhere- COMx IRQ Any", R"(00,01,FF,03, \  ; IOR_Min / IOR_Max)", R"(FF,FF,00,00, \  ; IRQD_Req_Mask / IRQD_Reserved)"},
    {";--- Config for anywhere- COMx IRQ None", R"(00,01,FF,03, \  ; IOR_Min / IOR_Max)", ""},
};

// One block; $(Comment), $(Number), $(Range) and $(Mask) come from its table row.
constexpr std::string_view kOverrideIoRows[] = {
    "$(Comment)",
    R"(HKR,Override,$(Number),1, \)",
    R"(00,04,00,00,00,00,00,00, \)",
    ";*** I/O Range 0 ***",
    R"(20,00,00,00, \  ; total length of io resource descriptor)",
    R"(02,00,00,00, \  ; ResType_IO = 0x00000002)",
    R"(01,00,0C,00, \  ; IOD_count / IOD_Type = 0x0c)",
    R"(00,00,00,00, \  ; IOD_Alloc_Base / IOD_Alloc_End)",
    R"(00,00,00,00, \  ; IOD_DesFlags / IOD_Alloc_Alias / IOD_Alloc_Decode)",
    R"(F8,FF,08,00, \  ; IOR_Align / IOR_nPorts)",
    "$(Range)",
    R"(00,00,00,00, \  ; IOR_RangeFlags / IOR_Alias / IOR_Decode)",
};
constexpr std::string_view kOverrideIrqRows[] = {
    ";*** IRQ ***",
    R"(10,00,00,00, \  ; total length of irq resource descriptor)",
    R"(04,00,00,00, \  ; ResType_IRQ - 0x00000004)",
    R"(01,00,00,00, \  ; IRQD_Flags / IRQD_Alloc_Num)",
    "$(Mask)",
};
constexpr std::string_view kOverrideEndRows[] = {
    ";*** TERMINATOR ***",
    "00,00,00,00",
};
// clang-format on

void AppendOverrideBlocks(CrlfText& text) {
  int number = 0;
  for (const OverrideBlock& block : kOverrideBlocks) {
    // The value names are four decimal digits: 0000 to 0009.
    std::string digits = std::to_string(number);
    digits.insert(0, 4 - digits.size(), '0');
    const Placeholder values[] = {{"Comment", block.comment},
                                  {"Number", digits},
                                  {"Range", block.range},
                                  {"Mask", block.mask}};
    CrlfText blockText(values);
    blockText.Rows(kOverrideIoRows);
    if (!block.mask.empty()) {
      blockText.Rows(kOverrideIrqRows);
    }
    blockText.Rows(kOverrideEndRows);
    // The last block runs straight into the blank lines after it; no closing ";".
    if (!block.mask.empty()) {
      blockText.Row(";");
    }
    text.Append(blockText.Text());
    ++number;
  }
}
}  // namespace

std::string BuildVxdInf(const PackageSettings& settings) {
  const TemplateValues values(settings);
  CrlfText text(values.All());
  text.Rows(kVxdInfHead).Rows(kVendorNotice).Rows(kVxdInfBody);
  AppendOverrideBlocks(text);
  text.Rows(kVxdInfTail);
  return text.Text();
}

bool WriteVxdInf(const PackageSettings& settings, IMessageBox& box) {
  const std::string text = BuildVxdInf(settings);
  return WritePackageText(settings, settings.VxdInfName(), text, box, MessageIcon::Exclamation);
}
