// The one QApplication of a widget test binary, and a helper that acts on a
// modal dialog while its own event loop runs.
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

/// Creates the application on first use (offscreen platform from the test's
/// environment) and keeps it for the whole run.
inline QApplication& App() {
  static int argc = 1;
  static char name[] = "window-tests";
  static char* argv[] = {name, nullptr};
  static auto* app = new QApplication(argc, argv);
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
