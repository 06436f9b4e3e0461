// The folder chooser of the output-folder page.
#include "wizard/FolderBrowser.h"

#include <QDir>
#include <QFileDialog>
#include <QString>

#include "wizard/OutputPages.h"

std::string QtFolderBrowser::BrowseForFolder() {
  const QString title = QString::fromUtf8(kBrowseForFolderTitle.data(),
                                          static_cast<qsizetype>(kBrowseForFolderTitle.size()));
  const QString folder = QFileDialog::getExistingDirectory(nullptr, title, QDir::homePath());
  if (folder.isEmpty()) {
    return std::string(kNoDirSelected);
  }
  return folder.toStdString();
}
