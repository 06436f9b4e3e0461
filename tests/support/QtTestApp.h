// The one QApplication of a widget test binary (offscreen unless the caller picks
// another platform), and helpers that act on a modal dialog or a popup while its
// own event loop runs.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <ostream>

/// Readable QString values in failure messages.
inline void PrintTo(const QString& text, std::ostream* os) {
  *os << '"' << text.toStdString() << '"';
}

namespace qttest {

/// Creates the application on first use and keeps it for the whole run. Widget
/// tests never need a display; windows that close do not end the application.
inline QApplication& App() {
  static int argc = 1;
  static char name[] = "qt-tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
      qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    auto* created = new QApplication(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    return created;
  }();
  return *app;
}

/// Runs `act` on the next modal dialog that opens, once it is showing. Polls a
/// bounded number of times; if no dialog shows, `act` gets nullptr.
inline void WhenModal(std::function<void(QWidget*)> act, int triesLeft = 200) {
  QTimer::singleShot(10, [act = std::move(act), triesLeft]() mutable {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr && modal->isVisible()) {
      act(modal);
    } else if (triesLeft > 0) {
      WhenModal(std::move(act), triesLeft - 1);
    } else {
      act(nullptr);
    }
  });
}

/// Runs `act` on the next popup (menu) that opens; nullptr if none shows.
inline void WhenPopup(std::function<void(QWidget*)> act, int triesLeft = 200) {
  QTimer::singleShot(10, [act = std::move(act), triesLeft]() mutable {
    QWidget* popup = QApplication::activePopupWidget();
    if (popup != nullptr && popup->isVisible()) {
      act(popup);
    } else if (triesLeft > 0) {
      WhenPopup(std::move(act), triesLeft - 1);
    } else {
      act(nullptr);
    }
  });
}

}  // namespace qttest
