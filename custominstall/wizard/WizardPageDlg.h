// What every wizard page has in common: a fixed-size dialog with the caption "VB7350
// Custom Setup", the picture down the left side and Cancel / "< Back" / "Next >" on the
// bottom row. A page ends with Next, Back or Close and hands its record on.
#pragma once

#include <QDialog>
#include <QString>
#include <string_view>

#include "settings/MessageBox.h"
#include "settings/PackageSettings.h"
#include "wizard/DialogUnits.h"
#include "wizard/WizardFlow.h"

class QLabel;
class QLineEdit;
class QPushButton;

class WizardPageDlg : public QDialog {
  Q_OBJECT

 public:
  /// Which of the bottom buttons a page has; the last one is the default button.
  enum class Buttons { NextOnly, BackAndNext, BackAndFinish };

  /// Caption and size (dialog units) of every page, and of the window they show in.
  static constexpr std::string_view kCaption = "VB7350 Custom Setup";
  static constexpr int kWidth = 300;
  static constexpr int kHeight = 204;

  WizardPageDlg(IMessageBox& box, Buttons buttons, QWidget* parent = nullptr);

  /// How the page ended (Close until Next or Back succeeds).
  PageExit Exit() const { return m_exit; }
  /// The record to hand to the next page (valid once the page has ended).
  virtual PackageSettings Settings() const = 0;

  QPushButton* CancelButton() const { return m_cancel; }
  QPushButton* BackButton() const { return m_back; }
  /// "Next >" or "Finish".
  QPushButton* NextButton() const { return m_next; }

 protected:
  /// Copy the widgets into the page logic and run its Next; true ends the page.
  virtual bool OnNext() = 0;
  /// Copy the widgets into the page logic and run its Back.
  virtual void OnBack() {}
  /// Copy the page logic's values into the widgets.
  virtual void UpdateControls() = 0;

  /// Dialog-unit geometry for the page's font.
  const DialogUnits& Units() const { return m_units; }
  /// A static text at x, y, width, height dialog units.
  QLabel* AddText(std::string_view text, int x, int y, int width, int height);
  /// An edit box holding at most limit characters.
  QLineEdit* AddEdit(int limit, int x, int y, int width, int height);
  IMessageBox& Box() { return m_box; }

 public:
  static QString ToQString(std::string_view text);
  static std::string ToBytes(const QString& text);

 protected:
  /// Ends the page as Close without moving (used by a successful Finish).
  void EndWizard();

  void showEvent(QShowEvent* event) override;

 private:
  void OnNextClicked();
  void OnBackClicked();
  /// The page's own controls first (in the order they were made), then the bottom row;
  /// the first control gets the focus.
  void ArrangeTabOrder();

  IMessageBox& m_box;
  DialogUnits m_units;
  QPushButton* m_cancel = nullptr;
  QPushButton* m_back = nullptr;
  QPushButton* m_next = nullptr;
  PageExit m_exit = PageExit::Close;
  bool m_tabOrderArranged = false;
};
