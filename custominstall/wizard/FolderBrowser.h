// The folder chooser of the output-folder page.
#pragma once

#include <string>

/// Asks the user for a folder. Returns its path (no trailing separator, except for the
/// root), or kNoDirSelected when the user cancels.
class IFolderBrowser {
 public:
  virtual ~IFolderBrowser() = default;
  virtual std::string BrowseForFolder() = 0;
};

/// The directory chooser on screen, titled "Select a Folder to Generate Your Setup Files
/// In:", starting in the user's home folder, with no owner window.
class QtFolderBrowser : public IFolderBrowser {
 public:
  std::string BrowseForFolder() override;
};
