// The output-folder and summary pages: folder checks and creation, and Finish.
#include "wizard/OutputPages.h"

#include "generator/GenerateFiles.h"
#include "generator/GeneratorTexts.h"
#include "settings/DirectoryTree.h"
#include "settings/OutputFolder.h"
#include "settings/Validation.h"

#include <utility>

COutputDirPage::COutputDirPage(PackageSettings settings, std::string homeDir)
    : CPageLogic(std::move(settings)),
      m_strOutputDirectory(m_Settings.OutputDirectory),
      m_strHomeDir(std::move(homeDir)) {}

void COutputDirPage::OnBrowse(std::string_view picked) {
  if (picked != kNoDirSelected) {
    m_strOutputDirectory = picked;
  }
}

bool COutputDirPage::OnNext(IMessageBox& box) {
  if (!IsValidOutputDirectory(m_strOutputDirectory)) {
    ShowPageMessage(box, kInvalidOutputDirectoryText);
    return false;
  }
  // "~/pkg" is the home folder's pkg, not a folder named "~"; the summary shows the
  // folder the files really go to.
  m_strOutputDirectory = ResolveOutputDirectory(m_strOutputDirectory, m_strHomeDir);
  // A file of that name would fail every writer; say so before the summary.
  if (IsExistingNonFolder(m_strOutputDirectory)) {
    ShowPageMessage(box, OutputIsNotAFolderText(WithoutTrailingSeparator(m_strOutputDirectory)));
    return false;
  }
  if (!OutputPathExists(m_strOutputDirectory)) {
    const MessageResult answer = box.Show(kCreateDirectoryQuestion, kAppCaption,
                                          MessageIcon::Question, MessageButtons::YesNo, true, {});
    if (answer != MessageResult::Yes) {
      return false;
    }
    // The box keeps the separator it gained, even when the creation fails below.
    m_strOutputDirectory = WithTrailingSeparator(m_strOutputDirectory);
    SystemError error;
    if (!CreateDirectoryTree(m_strOutputDirectory, &error)) {
      box.Show(kCouldNotCreateDirectoryText, kAppCaption, MessageIcon::Exclamation,
               MessageButtons::Ok, true, error.Describe());
      return false;
    }
  }
  OnBack();
  return true;
}

void COutputDirPage::OnBack() {
  m_strOutputDirectory = WithTrailingSeparator(m_strOutputDirectory);
  m_Settings.OutputDirectory = m_strOutputDirectory;
}

namespace {

/// Passes every message on; the success box also names the folder the files are in.
class CFolderNamingBox : public IMessageBox {
 public:
  CFolderNamingBox(IMessageBox& box, std::string folder)
      : m_Box(box), m_strFolder(std::move(folder)) {}
  MessageResult Show(std::string_view text, std::string_view caption, MessageIcon icon,
                     MessageButtons buttons, bool ownedByPage, std::string_view detail) override {
    if (text == kFilesGeneratedText && detail.empty()) {
      return m_Box.Show(text, caption, icon, buttons, ownedByPage, m_strFolder);
    }
    return m_Box.Show(text, caption, icon, buttons, ownedByPage, detail);
  }

 private:
  IMessageBox& m_Box;
  std::string m_strFolder;
};

}  // namespace

bool CSummaryPage::OnFinish(IMessageBox& box) const {
  CFolderNamingBox namingBox(box, std::string(kGeneratedFolderLabel) + m_Settings.OutputDirectory);
  return GenerateFiles(m_Settings, namingBox);
}
