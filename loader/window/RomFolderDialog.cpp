// Directory chooser with a status line that follows the highlighted folder.
#include "window/RomFolderDialog.h"

#include <QDir>
#include <QGridLayout>
#include <QLabel>

RomFolderDialog::RomFolderDialog(QWidget* parent, const QString& title, const QString& preselected)
    : QFileDialog(parent, title) {
  setFileMode(QFileDialog::Directory);
  // The widget dialog (not the desktop's) so the status line can be added.
  setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
  setAcceptMode(QFileDialog::AcceptOpen);

  m_status = new QLabel(this);
  m_status->setObjectName(QStringLiteral("statusText"));
  m_status->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
  if (auto* grid = qobject_cast<QGridLayout*>(layout()))
    grid->addWidget(m_status, grid->rowCount(), 0, 1, grid->columnCount());

  connect(this, &QFileDialog::currentChanged, this, &RomFolderDialog::ShowStatus);
  connect(this, &QFileDialog::directoryEntered, this, &RomFolderDialog::ShowStatus);
  if (!preselected.isEmpty()) setDirectory(preselected);
  ShowStatus(directory().absolutePath());
}

QString RomFolderDialog::ChosenFolder() const {
  if (result() != QDialog::Accepted) return {};
  const QStringList files = selectedFiles();
  return files.isEmpty() ? QString() : files.front();
}

QString RomFolderDialog::StatusText() const {
  return m_status->text();
}

void RomFolderDialog::ShowStatus(const QString& path) {
  if (!path.isEmpty()) m_status->setText(QDir::toNativeSeparators(path));
}
