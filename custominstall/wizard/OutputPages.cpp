// The output-folder and summary pages: folder checks and creation, and Finish.
#include "wizard/OutputPages.h"

#include "generator/GenerateFiles.h"
#include "generator/GeneratorTexts.h"
#include "settings/DirectoryTree.h"
#include "settings/OutputFolder.h"
#include "settings/Validation.h"

#include <utility>

OutputDirPage::OutputDirPage(PackageSettings settings, std::string homeDir)
    : PageLogic(std::move(settings)),
      m_outputDirectory(m_settings.outputDirectory),
      m_homeDir(std::move(homeDir)) {}

void OutputDirPage::OnBrowse(std::string_view picked) {
  if (picked != kNoDirSelected) {
    m_outputDirectory = picked;
  }
}

bool OutputDirPage::OnNext(IMessageBox& box) {
  if (!IsValidOutputDirectory(m_outputDirectory)) {
    ShowPageMessage(box, kInvalidOutputDirectoryText);
    return false;
  }
  // "~/pkg" is the home folder's pkg, not a folder named "~"; the summary shows the
  // folder the files really go to.
  m_outputDirectory = ResolveOutputDirectory(m_outputDirectory, m_homeDir);
  // A file of that name would fail every writer; say so before the summary.
  if (IsExistingNonFolder(m_outputDirectory)) {
    ShowPageMessage(box, OutputIsNotAFolderText(WithoutTrailingSeparator(m_outputDirectory)));
    return false;
  }
  if (!OutputPathExists(m_outputDirectory)) {
    const MessageResult answer = box.Show(kCreateDirectoryQuestion, kAppCaption,
                                          MessageIcon::Question, MessageButtons::YesNo, true, {});
    if (answer != MessageResult::Yes) {
      return false;
    }
    // The box keeps the separator it gained, even when the creation fails below.
    m_outputDirectory = WithTrailingSeparator(m_outputDirectory);
    SystemError error;
    if (!CreateDirectoryTree(m_outputDirectory, &error)) {
      box.Show(kCouldNotCreateDirectoryText, kAppCaption, MessageIcon::Exclamation,
               MessageButtons::Ok, true, error.Describe());
      return false;
    }
  }
  OnBack();
  return true;
}

void OutputDirPage::OnBack() {
  m_outputDirectory = WithTrailingSeparator(m_outputDirectory);
  m_settings.outputDirectory = m_outputDirectory;
}

namespace {

/// Passes every message on; the success box also names the folder the files are in.
class FolderNamingBox : public IMessageBox {
 public:
  FolderNamingBox(IMessageBox& box, std::string folder) : m_box(box), m_folder(std::move(folder)) {}
  MessageResult Show(std::string_view text, std::string_view caption, MessageIcon icon,
                     MessageButtons buttons, bool ownedByPage, std::string_view detail) override {
    if (text == kFilesGeneratedText && detail.empty()) {
      return m_box.Show(text, caption, icon, buttons, ownedByPage, m_folder);
    }
    return m_box.Show(text, caption, icon, buttons, ownedByPage, detail);
  }

 private:
  IMessageBox& m_box;
  std::string m_folder;
};

}  // namespace

bool SummaryPage::OnFinish(IMessageBox& box) const {
  FolderNamingBox namingBox(box, std::string(kGeneratedFolderLabel) + m_settings.outputDirectory);
  return GenerateFiles(m_settings, namingBox);
}
