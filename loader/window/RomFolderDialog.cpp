// Directory chooser with a status line that follows the highlighted folder.
#include "window/RomFolderDialog.h"

#include <QDir>
#include <QGridLayout>
#include <QLabel>

CRomFolderDialog::CRomFolderDialog(QWidget* pParent, const QString& title,
                                   const QString& preselected)
    : QFileDialog(pParent, title) {
  setFileMode(QFileDialog::Directory);
  // The widget dialog (not the desktop's) so the status line can be added.
  setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
  setAcceptMode(QFileDialog::AcceptOpen);

  m_pStatus = new QLabel(this);
  m_pStatus->setObjectName(QStringLiteral("statusText"));
  m_pStatus->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  m_pStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
  if (auto* grid = qobject_cast<QGridLayout*>(layout()))
    grid->addWidget(m_pStatus, grid->rowCount(), 0, 1, grid->columnCount());

  connect(this, &QFileDialog::currentChanged, this, &CRomFolderDialog::ShowStatus);
  connect(this, &QFileDialog::directoryEntered, this, &CRomFolderDialog::ShowStatus);
  if (!preselected.isEmpty()) setDirectory(preselected);
  ShowStatus(directory().absolutePath());
}

QString CRomFolderDialog::ChosenFolder() const {
  if (result() != QDialog::Accepted) return {};
  const QStringList files = selectedFiles();
  return files.isEmpty() ? QString() : files.front();
}

QString CRomFolderDialog::StatusText() const {
  return m_pStatus->text();
}

void CRomFolderDialog::ShowStatus(const QString& path) {
  if (!path.isEmpty()) m_pStatus->setText(QDir::toNativeSeparators(path));
}
