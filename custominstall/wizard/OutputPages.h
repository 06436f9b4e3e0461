// The last two wizard pages without their windows: the output folder and the summary.
#pragma once

#include <string>
#include <string_view>

#include "wizard/PageLogic.h"

/// What the folder chooser gives back when the user cancels.
inline constexpr std::string_view kNoDirSelected = "_NoDirSelected_";

/// Title of the folder chooser of the output-folder page.
inline constexpr std::string_view kBrowseForFolderTitle =
    "Select a Folder to Generate Your Setup Files In:";

/// Under "Files Successfully Generated" in the wizard: where the files are.
inline constexpr std::string_view kGeneratedFolderLabel = "Folder: ";

inline constexpr std::string_view kCreateDirectoryQuestion =
    "Directory does not exist, do you want to create it?";

/// Output-folder page: chooses, checks, offers to create and stores the folder.
class OutputDirPage : public PageLogic {
 public:
  /// homeDir is what a leading "~" stands for.
  OutputDirPage(PackageSettings settings, std::string homeDir);
  /// Puts a chosen folder into the edit box; kNoDirSelected leaves the box as it was.
  void OnBrowse(std::string_view picked);
  /// Checks the folder, resolves it as typed ("~", relative, "." and ".."; the box then
  /// shows the absolute folder), asks to create it when it is missing, creates it level
  /// by level, and stores it with a trailing separator. False (page stays) on a bad
  /// character, a file in the folder's place, a declined question or a folder that
  /// cannot be created.
  bool OnNext(IMessageBox& box);
  /// Stores the edit box with a trailing separator, unchecked.
  void OnBack();

  std::string m_outputDirectory;  // edit 1019

 private:
  std::string m_homeDir;
};

/// Summary page: shows every setting; Finish generates the package.
class SummaryPage : public PageLogic {
 public:
  explicit SummaryPage(PackageSettings settings) : PageLogic(std::move(settings)) {}
  /// The text of the read-only box 1025.
  std::string GetSummaryText() const { return m_settings.GetSummaryText(); }
  /// Runs the generation; true when every file was written and the wizard is to end.
  /// On failure the page stays open for another Finish.
  bool OnFinish(IMessageBox& box) const;
};
