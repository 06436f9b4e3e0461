// Tarvix --headless: the loader on a Qt Core event loop, its view as lines on
// stdout and stderr, stopped by SIGINT or SIGTERM.
#include "headless/HeadlessMain.h"

#include "headless/HeadlessHost.h"
#include "runtime/LoaderRuntime.h"
#include "comm/SocketStartup.h"
#include "download/UniqueFd.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <signal.h>
#include <sys/signalfd.h>

#include <filesystem>
#include <iostream>
#include <vector>

namespace {
/// Blocks SIGINT and SIGTERM for the life of the object (every thread started
/// meanwhile inherits that) and hands them out through a signalfd instead.
class CStopSignals {
public:
  CStopSignals() {
    sigemptyset(&m_Set);
    sigaddset(&m_Set, SIGINT);
    sigaddset(&m_Set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &m_Set, &m_Old);
    m_Fd.Reset(::signalfd(-1, &m_Set, SFD_CLOEXEC | SFD_NONBLOCK));
  }
  ~CStopSignals() {
    m_Fd.Reset();
    pthread_sigmask(SIG_SETMASK, &m_Old, nullptr);
  }
  CStopSignals(const CStopSignals&) = delete;
  CStopSignals& operator=(const CStopSignals&) = delete;
  int Fd() const { return m_Fd.Get(); }
  void Drain() const {
    signalfd_siginfo info{};
    while (::read(m_Fd.Get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    }
  }

private:
  sigset_t m_Set{};
  sigset_t m_Old{};
  CUniqueFd m_Fd;
};
}  // namespace

int RunHeadless(int argc, char** argv, const LoaderOptions& options) {
  if (!InitSockets()) {
    // The window would show this as a message box and end; so does the server.
    std::cerr << "message: " << kSocketErrorText << std::endl;
    return 1;
  }
  CStopSignals stopSignals;
  if (stopSignals.Fd() < 0) {
    std::cerr << "Tarvix: cannot watch for SIGINT/SIGTERM\n";
    return 1;
  }
  QCoreApplication app(argc, argv);
  QSocketNotifier stopNotifier(stopSignals.Fd(), QSocketNotifier::Read);
  QObject::connect(&stopNotifier, &QSocketNotifier::activated, &app, [&] {
    stopSignals.Drain();
    app.quit();
  });

  std::error_code ec;
  const std::string curDir = std::filesystem::current_path(ec).string();
  CHeadlessHost host(std::cout, std::cerr);
  {
    CLoaderRuntime runtime(host.Host(), curDir, options.nTcpPort);
    host.SetDlg(&runtime.Dlg());
    runtime.Start();
    QCoreApplication::exec();
    host.SetDlg(nullptr);
  }
  return 0;
}
