// The record of one driver package's customisation: fields, defaults, derived names.
#pragma once

#include <string>

/// Everything a generated package depends on. Values are kept exactly as typed;
/// only GetUpperInfPrefix changes case. Copying copies all fifteen fields.
class PackageSettings {
 public:
  std::string uninstallFileName = "vornun";
  std::string infPrefix = "vorn";
  std::string shortName = "vorn";
  std::string longName = "Vorn Microsystems";
  std::string comDeviceName = "VB7350 USB to UART Bridge Controller";
  std::string usbDeviceName = "VB7350 USB Composite Device";
  std::string vid = "3E7A";
  std::string pid = "B2C9";
  bool generatePreinstaller = true;
  bool showSetupGui = true;
  bool copyFilesToDirectory = true;
  std::string targetDirectory = "C:\\Program Files\\Vornix\\MCU\\VB7350";
  bool showUninstallGui = true;
  /// Folder that receives the package; always ends with '/' once chosen.
  std::string outputDirectory;
  /// The Windows code page the text files are written in; kAsciiOnly (0) writes the
  /// values as they are, for names of plain ASCII.
  int codePage = 0;

  /// InfPrefix with a..z turned into A..Z; the record is unchanged.
  std::string GetUpperInfPrefix() const;
  /// Upper-case prefix + "COMM&" + vid + "&" + pid (vid and pid as stored).
  std::string UninstallKeyName() const;

  /// Derived file names: plain concatenations, the prefix as typed.
  std::string BusInfName() const { return infPrefix + "bus.inf"; }
  std::string VxdInfName() const { return infPrefix + "vxd.inf"; }
  std::string W2kInfName() const { return infPrefix + "w2k.inf"; }
  std::string WdmInfName() const { return infPrefix + "wdm.inf"; }
  std::string Uninstaller98Name() const { return uninstallFileName + ".exe"; }
  std::string Uninstaller2kName() const { return uninstallFileName + "2k.exe"; }
  std::string UninstallInfo98Name() const { return uninstallFileName + ".u98"; }
  std::string UninstallInfo2kName() const { return uninstallFileName + ".u2k"; }
  /// outputDirectory + fileName, nothing inserted between them.
  std::string OutputPath(const std::string& fileName) const { return outputDirectory + fileName; }

  /// The summary page's text: twenty lines joined by CR LF, no break after the last.
  std::string GetSummaryText() const;
};
