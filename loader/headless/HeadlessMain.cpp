// Tarvix --headless: the loader on a Qt Core event loop, its view as lines on
// stdout and stderr, stopped by SIGINT or SIGTERM.
#include "headless/HeadlessMain.h"

#include "comm/SocketStartup.h"
#include "download/UniqueFd.h"
#include "headless/HeadlessHost.h"
#include "runtime/LoaderRuntime.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <signal.h>
#include <sys/signalfd.h>

#include <filesystem>
#include <iostream>
#include <vector>

namespace {

constexpr int kBadCommandLine = 2;

/// Blocks SIGINT, SIGTERM and SIGHUP for the life of the process (every thread
/// started meanwhile inherits that) and hands them out through a signalfd.
class CServiceSignals {
 public:
  CServiceSignals() {
    sigemptyset(&m_Set);
    sigaddset(&m_Set, SIGINT);
    sigaddset(&m_Set, SIGTERM);
    sigaddset(&m_Set, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &m_Set, nullptr);
    m_Fd.Reset(::signalfd(-1, &m_Set, SFD_CLOEXEC | SFD_NONBLOCK));
  }
  // The mask is never lifted: a second SIGINT or SIGTERM that arrives while we
  // shut down stays pending and cannot turn a clean exit into a kill.
  ~CServiceSignals() = default;
  CServiceSignals(const CServiceSignals&) = delete;
  CServiceSignals& operator=(const CServiceSignals&) = delete;
  int Fd() const { return m_Fd.Get(); }
  /// Reads every pending signal; true when one of them asks to stop.
  bool Drain(bool& bReload) const {
    bool bStop = false;
    signalfd_siginfo info{};
    while (::read(m_Fd.Get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
      if (info.ssi_signo == SIGHUP) {
        bReload = true;
      } else {
        bStop = true;
      }
    }
    return bStop;
  }

 private:
  sigset_t m_Set{};
  CUniqueFd m_Fd;
};
}  // namespace

int RunHeadless(int argc, char** argv, const LoaderOptions& options) {
  if (!InitSockets()) {
    // The window would show this as a message box and end; so does the server.
    std::cerr << "message: " << kSocketErrorText << std::endl;
    return 1;
  }
  CServiceSignals serviceSignals;
  if (serviceSignals.Fd() < 0) {
    std::cerr << "Tarvix: cannot watch for SIGINT/SIGTERM/SIGHUP\n";
    return 1;
  }
  QCoreApplication app(argc, argv);

  std::error_code ec;
  const std::string curDir = std::filesystem::current_path(ec).string();
  CHeadlessHost host(std::cout, std::cerr);
  int exitCode = 0;
  {
    CLoaderRuntime runtime(host.Host(), curDir, options.nTcpPort);
    if (!options.strConfigPath.empty()) runtime.SetConfigPath(options.strConfigPath);
    QSocketNotifier signalNotifier(serviceSignals.Fd(), QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&] {
      bool bReload = false;
      if (serviceSignals.Drain(bReload)) {
        signalNotifier.setEnabled(false);  // the rest of the shutdown ignores them
        app.quit();
      } else if (bReload) {
        runtime.ReloadConfig();
      }
    });
    host.SetDlg(&runtime.Dlg());
    const bool bNeedConfig = !options.strConfigPath.empty();
    if (!runtime.Start(bNeedConfig) && bNeedConfig && !runtime.ConfigError().empty()) {
      // A file named on the command line must be there: a service must not run on defaults.
      std::cerr << "Tarvix: --config " << runtime.ConfigPath() << ": " << runtime.ConfigError()
                << std::endl;
      exitCode = kBadCommandLine;
    } else {
      QCoreApplication::exec();
    }
    host.SetDlg(nullptr);
  }
  return exitCode;
}
