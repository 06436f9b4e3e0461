// The record of one driver package's customisation: fields, defaults, derived names.
#pragma once

#include <string>

/// Everything a generated package depends on. Values are kept exactly as typed;
/// only GetUpperInfPrefix changes case. Copying copies all fifteen fields.
class PackageSettings {
 public:
  std::string UninstallFileName = "vornun";
  std::string InfPrefix = "vorn";
  std::string ShortName = "vorn";
  std::string LongName = "Vorn Microsystems";
  std::string ComDeviceName = "VB7350 USB to UART Bridge Controller";
  std::string UsbDeviceName = "VB7350 USB Composite Device";
  std::string Vid = "3E7A";
  std::string Pid = "B2C9";
  bool GeneratePreinstaller = true;
  bool ShowSetupGui = true;
  bool CopyFilesToDirectory = true;
  std::string TargetDirectory = "C:\\Program Files\\Vornix\\MCU\\VB7350";
  bool ShowUninstallGui = true;
  /// Folder that receives the package; always ends with '/' once chosen.
  std::string OutputDirectory;
  /// The Windows code page the text files are written in; kAsciiOnly (0) writes the
  /// values as they are, for names of plain ASCII.
  int CodePage = 0;

  /// InfPrefix with a..z turned into A..Z; the record is unchanged.
  std::string GetUpperInfPrefix() const;
  /// Upper-case prefix + "COMM&" + Vid + "&" + Pid (Vid and Pid as stored).
  std::string UninstallKeyName() const;

  /// Derived file names: plain concatenations, the prefix as typed.
  std::string BusInfName() const { return InfPrefix + "bus.inf"; }
  std::string VxdInfName() const { return InfPrefix + "vxd.inf"; }
  std::string W2kInfName() const { return InfPrefix + "w2k.inf"; }
  std::string WdmInfName() const { return InfPrefix + "wdm.inf"; }
  std::string Uninstaller98Name() const { return UninstallFileName + ".exe"; }
  std::string Uninstaller2kName() const { return UninstallFileName + "2k.exe"; }
  std::string UninstallInfo98Name() const { return UninstallFileName + ".u98"; }
  std::string UninstallInfo2kName() const { return UninstallFileName + ".u2k"; }
  /// OutputDirectory + fileName, nothing inserted between them.
  std::string OutputPath(const std::string& fileName) const { return OutputDirectory + fileName; }

  /// The summary page's text: twenty lines joined by CR LF, no break after the last.
  std::string GetSummaryText() const;
};
