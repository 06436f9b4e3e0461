// What each wizard page does with its controls and its own copy of the package record,
// with no window behind it. The Qt pages copy their widgets into these members, call
// OnNext or OnBack, and hand Settings() to the next page when the call says to move on.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "settings/MessageBox.h"
#include "settings/PackageSettings.h"
#include "settings/PageRules.h"

/// A page's own record, received as a copy from the page the user came from.
class PageLogic {
 public:
  explicit PageLogic(PackageSettings settings) : m_settings(std::move(settings)) {}
  const PackageSettings& Settings() const { return m_settings; }

 protected:
  /// The wizard's own messages: owned by the page, the program's name as caption, OK.
  static void ShowPageMessage(IMessageBox& box, std::string_view text);
  /// False after showing the problem's message; true when there is none.
  static bool Passes(IMessageBox& box, const std::optional<FieldProblem>& problem);

  PackageSettings m_settings;
};

/// Welcome page: collects nothing; Next starts a fresh record.
class WelcomePage {
 public:
  /// A default record whose OutputDirectory is the default folder under homeDir.
  static PackageSettings OnNext(std::string_view homeDir);
};

/// Names page: uninstall file name, INF prefix, short and long name. No Back.
class NamesPage : public PageLogic {
 public:
  explicit NamesPage(PackageSettings settings);
  /// Stores the four edits; false with the page's message when one is empty, a file
  /// name holds a character Windows refuses, or the long name holds a double quote.
  bool OnNext(IMessageBox& box);

  std::string m_uninstallFileName;  // edit 1001
  std::string m_infPrefix;          // edit 1005
  std::string m_shortName;          // edit 1002
  std::string m_longName;           // edit 1003
};

/// Device-names page: the COM and USB device names.
class DeviceNamesPage : public PageLogic {
 public:
  explicit DeviceNamesPage(PackageSettings settings);
  /// Stores both edits; false with the page's message when one is empty or holds a
  /// double quote.
  bool OnNext(IMessageBox& box);
  /// Stores both edits without any check.
  void OnBack();

  std::string m_comDeviceName;  // edit 1006
  std::string m_usbDeviceName;  // edit 1007
};

/// VID/PID page: the vendor and product IDs in hexadecimal.
class VidPidPage : public PageLogic {
 public:
  explicit VidPidPage(PackageSettings settings);
  /// Hex check (VID, then PID), then store, then the blanks check; on success the
  /// preinstaller is switched on for the options page.
  bool OnNext(IMessageBox& box);
  /// Stores both edits without any check.
  void OnBack();
  /// The note under the edits for an ID of fewer than four digits (Windows reports
  /// four, so a shorter one matches no device); empty when both have four or none.
  static std::string ShortIdNote(std::string_view vid, std::string_view pid);

  std::string m_vid;  // edit 1008
  std::string m_pid;  // edit 1002
};

/// Options page: preinstaller and uninstaller options.
class OptionsPage : public PageLogic {
 public:
  explicit OptionsPage(PackageSettings settings);
  /// Check box 1019 was clicked and now shows checked: with it cleared, the setup boxes
  /// are checked again, the target directory goes back to its default and the
  /// dependent controls hide; checked, they show again as they were.
  void OnPreinstallerClicked(bool checked);
  /// Shows the help text of one "?" button, its paragraphs joined into running
  /// lines so the box wraps them at its own width.
  static void ShowHelp(IMessageBox& box, std::string_view helpText);
  /// The text with each line break inside a paragraph made a space; blank
  /// lines between paragraphs stay.
  static std::string AsParagraphs(std::string_view text);
  /// Target directory check (the Windows rule), then the code page check of every text
  /// of the package, then store; false with the message of the first that fails (the
  /// code page's names the field, which may sit on an earlier page).
  bool OnNext(IMessageBox& box);
  /// Stores the controls without any check.
  void OnBack();

  bool m_generatePreinstaller;    // check box 1019
  bool m_showSetupGui;            // check box 1016
  bool m_copyFilesToDirectory;    // check box 1012
  std::string m_targetDirectory;  // edit 1018
  bool m_showUninstallGui;        // check box 1017
  int m_codePage;                 // the code page list
  /// Whether 1016, 1012, 1018, 1027, 1028, 1029, 1033 and 1034 are shown.
  bool m_preinstallerControlsVisible = true;

 private:
  void Store();
};

/// Help texts of the options page's "?" buttons.
extern const std::string_view kGeneratePreinstallerHelp;  // button 1032
extern const std::string_view kShowSetupGuiHelp;          // button 1027
extern const std::string_view kCopyFilesHelp;             // button 1028
extern const std::string_view kTargetDirectoryHelp;       // button 1029
extern const std::string_view kShowUninstallGuiHelp;      // button 1030
