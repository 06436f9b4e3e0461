// Tarvix --headless: the loader on a Qt Core event loop, its view as lines on
// stdout and stderr, stopped by SIGINT or SIGTERM.
#include "headless/HeadlessMain.h"

#include "base/UniqueFd.h"
#include "comm/SocketStartup.h"
#include "headless/ConsoleQueue.h"
#include "headless/HeadlessHost.h"
#include "headless/JournalStream.h"
#include "headless/MetricsServer.h"
#include "headless/MetricsText.h"
#include "headless/ServiceNotifier.h"
#include "net/ConnectionPoller.h"
#include "runtime/LoaderRuntime.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QTimer>

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <optional>
#include <vector>

namespace {
constexpr const char* kNoGlibVariable = "QT_NO_GLIB";

constexpr int kBadCommandLine = 2;
constexpr int kCannotServe = 1;
constexpr int kStatusIntervalMs = 1000;
// What is left in the console queues at exit gets this long, so a stalled
// reader cannot delay the stop.
constexpr int kExitDrainMs = 150;

#ifndef TARVIX_VERSION
#error "TARVIX_VERSION must give the program's version"
#endif

const char* SignalName(int signo) {
  return signo == SIGINT ? "SIGINT" : signo == SIGTERM ? "SIGTERM" : "signal";
}

int ActiveDownloads(LoaderRuntime& runtime) {
  return runtime.Engine().RunningDownloads();
}

std::string ServiceStatus(int active) {
  return "serving; " + std::to_string(active) + (active == 1 ? " download" : " downloads") +
         " running";
}

/// Whether the server does what it was told: TCP listening unless turned off.
bool Serving(LoaderRuntime& runtime) {
  return runtime.Listening() || (runtime.Engine().Settings().noTcp && runtime.TcpPort() == 0 &&
                                 runtime.ListenError().empty());
}

std::string Metrics(LoaderRuntime& runtime, const HeadlessHost& host, const ConsoleQueue& out,
                    const ConsoleQueue& err) {
  MetricsSnapshot snapshot;
  snapshot.downloads = host.Tally();
  snapshot.activeDownloads = ActiveDownloads(runtime);
  snapshot.tcpConnections = runtime.ConnectionCount();
  if (!runtime.Engine().Settings().noSerialPort) {
    snapshot.serialPorts.emplace_back(runtime.SerialPort().m_portName, runtime.SerialPort().m_open);
  }
  for (const LineView& line : runtime.Engine().Snapshot().lines) {
    if (!line.isPort) snapshot.serialPorts.emplace_back(line.name, line.state == kLineOpen);
    snapshot.lines.push_back({line.name, line.running});
  }
  snapshot.framesRejected = runtime.Engine().FramesRejected();
  snapshot.outputLinesDropped = out.DroppedLines() + err.DroppedLines();
  snapshot.version = TARVIX_VERSION;
  return FormatMetrics(snapshot);
}

/// Blocks SIGINT, SIGTERM and SIGHUP for the life of the process (every thread
/// started meanwhile inherits that) and hands them out through a signalfd.
class ServiceSignals {
 public:
  ServiceSignals() {
    sigemptyset(&m_set);
    sigaddset(&m_set, SIGINT);
    sigaddset(&m_set, SIGTERM);
    sigaddset(&m_set, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &m_set, nullptr);
    m_fd.Reset(::signalfd(-1, &m_set, SFD_CLOEXEC | SFD_NONBLOCK));
  }
  // The mask is never lifted: a second SIGINT or SIGTERM that arrives while we
  // shut down stays pending and cannot turn a clean exit into a kill.
  ~ServiceSignals() = default;
  ServiceSignals(const ServiceSignals&) = delete;
  ServiceSignals& operator=(const ServiceSignals&) = delete;
  int Fd() const { return m_fd.Get(); }
  /// Reads every pending signal; the first one that asks to stop, or 0.
  int Drain(bool& reload) const {
    int stop = 0;
    signalfd_siginfo info{};
    while (::read(m_fd.Get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
      if (info.ssi_signo == SIGHUP) {
        reload = true;
      } else if (stop == 0) {
        stop = static_cast<int>(info.ssi_signo);
      }
    }
    return stop;
  }

 private:
  sigset_t m_set{};
  UniqueFd m_fd;
};
}  // namespace

int RunHeadless(int argc, char** argv, const LoaderOptions& options) {
  if (!InitSockets()) {
    // The window would show this as a message box and end; so does the server.
    std::cerr << "message: " << kSocketErrorText << std::endl;
    return 1;
  }
  ServiceSignals serviceSignals;
  if (serviceSignals.Fd() < 0) {
    std::cerr << "error: cannot watch for SIGINT/SIGTERM/SIGHUP\n";
    return 1;
  }
  // One loop serves every connection: Qt's own poll loop costs less per turn
  // than the GLib main loop, and nothing headless needs GLib. Children do not
  // inherit the choice; a value the user set stays as it is.
  const bool chooseLoop = !qEnvironmentVariableIsSet(kNoGlibVariable);
  if (chooseLoop) qputenv(kNoGlibVariable, "1");
  QCoreApplication app(argc, argv);
  if (chooseLoop) qunsetenv(kNoGlibVariable);

  // Every line from here on goes through queues that never make us wait.
  ConsoleQueue outQueue(STDOUT_FILENO);
  ConsoleQueue errQueue(STDERR_FILENO);
  outQueue.SetJournal(IsJournalStream(STDOUT_FILENO));
  errQueue.SetJournal(IsJournalStream(STDERR_FILENO));
  // A busy turn of the loop (many connections served) writes its lines at once;
  // errors still go out at once, after the lines made before them.
  outQueue.HoldUntilFlush();
  errQueue.WriteAfter(outQueue);
  ConsoleLineBuffer outBuffer(outQueue);
  ConsoleLineBuffer errBuffer(errQueue);
  std::ostream out(&outBuffer);
  std::ostream err(&errBuffer);

  std::error_code ec;
  const std::string curDir = std::filesystem::current_path(ec).string();
  HeadlessHost host(out, err, options.everyProgressStep);
  ServiceNotifier notifier;
  int exitCode = 0;
  bool served = false;
  {
    LoaderRuntime runtime(host.Host(), curDir, options.tcpPort);
    runtime.SetDiagnostics(err);
    if (!options.configPath.empty()) runtime.SetConfigPath(options.configPath);
    std::optional<ReadWatch> signalWatch;
    signalWatch.emplace(serviceSignals.Fd(), [&] {
      bool reload = false;
      if (const int signo = serviceSignals.Drain(reload)) {
        signalWatch->SetEnabled(false);  // the rest of the shutdown ignores them
        err << "info: stopping (" << SignalName(signo) << ")" << std::endl;
        notifier.Stopping();
        app.quit();
      } else if (reload) {
        runtime.ReloadConfig();
      }
    });
    // Lines held back until a download's own lines are out leave once the loop goes
    // idle, and then this turn's lines are written.
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     &app, [&host, &outQueue] {
                       host.FlushEnded();
                       outQueue.Flush();
                     });
    const bool needConfig = !options.configPath.empty();
    std::optional<MetricsServer> metrics;
    const LoaderConfig& cfg = runtime.Engine().Settings();
    if (!signalWatch->Watching()) {
      err << "error: cannot watch for SIGINT/SIGTERM/SIGHUP" << std::endl;
      exitCode = 1;
    } else if (!runtime.Start(needConfig) && needConfig && !runtime.ConfigError().empty()) {
      // A file named on the command line must be there: a service must not run on defaults.
      err << "Tarvix: --config " << runtime.ConfigPath() << ": " << runtime.ConfigError()
          << std::endl;
      exitCode = kBadCommandLine;
    } else if (!runtime.ListenError().empty()) {
      // A service that cannot listen where it was told must not look healthy.
      exitCode = kCannotServe;
    } else if (cfg.metricsPort != 0 &&
               !metrics
                    .emplace([&] { return Metrics(runtime, host, outQueue, errQueue); },
                             [&] { return Serving(runtime); })
                    .Listen(cfg.metricsAddress, cfg.metricsPort)) {
      err << "error: cannot serve metrics on " << cfg.metricsAddress << ":" << cfg.metricsPort
          << ": " << metrics->ErrorString() << std::endl;
      exitCode = kCannotServe;
    } else {
      if (metrics) {
        err << "info: metrics on http://" << cfg.metricsAddress << ":" << metrics->Port()
            << "/metrics" << std::endl;
      }
      QTimer statusTimer;
      statusTimer.setInterval(kStatusIntervalMs);
      QObject::connect(&statusTimer, &QTimer::timeout, &app,
                       [&] { notifier.Status(ServiceStatus(ActiveDownloads(runtime))); });
      statusTimer.start();
      err << "info: ready" << std::endl;
      notifier.Ready(ServiceStatus(0));
      served = true;
      QCoreApplication::exec();
    }
    host.FlushEnded();
  }
  if (served) err << "info: stopped after " << host.Tally().Total() << " downloads" << std::endl;
  outQueue.Drain(kExitDrainMs);
  errQueue.Drain(kExitDrainMs);
  return exitCode;
}
