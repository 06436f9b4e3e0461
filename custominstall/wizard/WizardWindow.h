// The one window the wizard's pages show in: it keeps its place and size from page to
// page, carries the caption and icon, and, in a build with placeholder payloads, a
// notice strip under the page that the welcome and summary pages show.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

class WizardPageDlg;
class QLabel;

class WizardWindow : public QWidget {
  Q_OBJECT

 public:
  /// notice is the placeholder notice; empty for a build with real payloads (then the
  /// window is exactly one page high).
  explicit WizardWindow(const QString& notice, QWidget* parent = nullptr);

  /// Puts page into the window in place of the one before; showNotice says whether the
  /// page shows the placeholder notice.
  void SetPage(WizardPageDlg* page, bool showNotice);
  /// The notice strip (null when the build has real payloads).
  QLabel* Notice() const { return m_notice; }

 protected:
  /// The close box ends the current page as its own close would (as Cancel).
  void closeEvent(QCloseEvent* event) override;

 private:
  QPointer<WizardPageDlg> m_page;
  QLabel* m_notice = nullptr;
};
