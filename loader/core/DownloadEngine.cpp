// The download engine: settings, receive dispatch over lines and downloads, and
// the window's commands.
#include "core/DownloadEngine.h"

#include "core/SerialSettings.h"
#include "download/FileSelector.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace {
/// The port line of an open channel: " COM1 : Serial : 115200bps ".
std::string OpenPortLine(const SerialChannel& channel) {
  const char* mode = channel.m_commType == kCommModem ? " : Modem : " : " : Serial : ";
  return " " + channel.m_portName + mode + std::to_string(channel.m_baudRate) + "bps ";
}

int Percent(const Download& download) {
  const int count = download.PacketCount();
  return count > 0 ? static_cast<int>(std::int64_t{download.PacketNo()} * 100 / count) : 100;
}
}  // namespace

DownloadEngine::DownloadEngine(SerialChannel& serial, DownloadHost host, std::string curDir)
    : m_serial(serial), m_host(host), m_currentDir(std::move(curDir)) {
  m_configPath = m_currentDir + "/" + std::string(kConfigFileName);
  // Until a configuration is applied the port keeps the channel's own choices.
  m_config.port = serial.m_port;
  m_config.commType = serial.m_commType;
  m_config.baudIndex = serial.m_baudIndex;
  m_config.modemInit = serial.m_modemInit;
  m_config.portDevices = serial.m_portDevices;
  ILineOwner& owner = *this;
  m_lines.push_back(std::make_unique<Line>(owner, serial));
}

DownloadEngine::~DownloadEngine() = default;

ConfigLoad DownloadEngine::ReadConfig() const {
  ConfigLoad load;
  load.config = m_config;
  load.loaded =
      LoadLoaderConfig(m_configPath, m_currentDir, load.config, load.warnings, load.error);
  return load;
}

ConfigLoad DownloadEngine::Start() {
  ConfigLoad load = ReadConfig();
  if (!load.loaded) {
    if (m_host.messages != nullptr) m_host.messages->MessageBox(kTextConfigMissing);
    return load;
  }
  Apply(load.config);
  return load;
}

PortChange DownloadEngine::Apply(const LoaderConfig& cfg) {
  const bool first = !m_configLoaded;
  const bool portChanges = first || SerialSettingsDiffer(m_config, cfg);
  m_config = cfg;
  m_configLoaded = true;
  m_policy = DownloadPolicy::For(cfg);
  m_snapshot.romLocation = cfg.romDir;
  if (!portChanges) {
    Show();
    return PortChange::Kept;
  }
  return ChangePort(first);
}

PortChange DownloadEngine::ChangePort(bool first) {
  // The line changes: whatever ran on it ends. At start-up nothing runs yet.
  if (!first) SetSessionsEnabled(false);
  if (!first || m_config.noSerialPort) m_serial.Close();
  PortChange change = PortChange::Disabled;
  if (m_config.noSerialPort) {
    // TCP only: no device is opened, and nothing waits for one.
    m_portReason.clear();
    m_snapshot.portLine = kTextNoSerialPort;
  } else {
    OpenPort();
    change = m_serial.m_open ? PortChange::Opened : PortChange::Failed;
    if (m_serial.m_open) {
      m_portReason.clear();
      ShowPortStatus();
    } else {
      ShowPortFailed();
    }
  }
  SetSessionsEnabled(true);
  if (first) m_snapshot.status.clear();
  Show();
  if (first && m_host.progress != nullptr) m_host.progress->SetStep(1);
  return change;
}

void DownloadEngine::OpenPort() {
  // Close joins the reader, so the old reader is gone before Open starts a new one.
  m_serial.m_port = m_config.port;
  m_serial.m_portDevices = m_config.portDevices;
  m_serial.TakeLineSettings(m_config);
  m_serial.Open();
  // The channel corrects a port or rate out of range: those are the ones in effect.
  m_config.port = m_serial.m_port;
  m_config.baudIndex = m_serial.m_baudIndex;
}

void DownloadEngine::OnCommRead(SerialChannel& channel) {
  Line* line = &channel == &m_serial ? &SerialLine() : FindSerialLine(channel);
  if (line == nullptr) return;
  std::vector<std::uint8_t> buf;
  buf.reserve(static_cast<std::size_t>(channel.m_readQueue.GetCount()));
  for (int n = channel.m_readQueue.GetCount(); n > 0; --n) {
    std::uint8_t b = 0;
    if (!channel.m_readQueue.Get(&b)) break;
    buf.push_back(b);
  }
  if (buf.empty()) return;

  if (channel.m_commType == kCommModem && !channel.m_connected) {
    // Modem text up to its first zero byte goes to the status line (the PORT line's).
    if (!line->Standalone()) {
      const auto zero = std::find(buf.begin(), buf.end(), std::uint8_t{0});
      m_snapshot.status.assign(buf.begin(), zero);
    }
    channel.ModemResponse(buf);
    Show();
    return;
  }
  const std::size_t len = FindFrameStart(buf);
  if (len == 0 || !channel.m_open) return;
  OnFrame(*line, std::span<const std::uint8_t>(buf.data(), len));
}

void DownloadEngine::AddSerialLine(SerialChannel& channel) {
  if (&channel == &m_serial || FindSerialLine(channel) != nullptr) return;
  ILineOwner& owner = *this;
  // Further serial lines sit right after the PORT line, before every TCP connection.
  m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(1 + StandaloneCount()),
                 std::make_unique<Line>(owner, channel, true));
  ++m_standaloneCount;
  Show();
}

void DownloadEngine::RemoveSerialLine(SerialChannel& channel) {
  Line* line = FindSerialLine(channel);
  if (line == nullptr) return;
  if (line->Running()) line->CurrentDownload()->Finish(SessionEnd::Abandoned);
  std::erase(m_ownLines, line);
  std::erase_if(m_lines, [&](const auto& p) { return p.get() == line; });
  --m_standaloneCount;
  Show();
}

void DownloadEngine::OnLineFailure(SerialChannel& channel) {
  Line* line = FindSerialLine(channel);
  if (line == nullptr) return;
  // Its terminal can be answered no more; no other line is touched.
  if (line->Running()) line->CurrentDownload()->Finish(SessionEnd::PortFailed);
  channel.Close();
  Show();
}

void DownloadEngine::SetLineReason(SerialChannel& channel, std::string reason) {
  Line* line = FindSerialLine(channel);
  if (line == nullptr) return;
  line->SetPortReason(std::move(reason));
  Show();
}

Line* DownloadEngine::FindSerialLine(const SerialChannel& channel) const {
  for (const auto& line : std::span(m_lines).subspan(1, m_standaloneCount)) {
    if (line->Serial() == &channel) return line.get();
  }
  return nullptr;
}

std::size_t DownloadEngine::StandaloneCount() const {
  // Kept as lines come and go: asked for each status change, it must not look
  // at a thousand connections, nor at one.
  return m_standaloneCount;
}

bool DownloadEngine::SeveralLines() const {
  return StandaloneCount() > 0;
}

std::string DownloadEngine::LineName(const Line& line) const {
  if (!SeveralLines()) return {};
  if (line.Standalone()) return line.Serial()->m_portName;
  if (line.Shared() && !m_config.noSerialPort) return m_serial.m_portName;
  return {};
}

void DownloadEngine::OnSocketReceive(IConnection* socket, std::span<const std::uint8_t> data) {
  if (socket == nullptr) return;
  // A buffer of our own (trimming moves bytes), kept from receive to receive.
  const std::size_t size = std::min(data.size(), kMaxSocketReceive);
  std::copy_n(data.begin(), size, m_receiveBuf.begin());
  const std::size_t len = FindFrameStart(std::span<std::uint8_t>(m_receiveBuf.data(), size));
  // TCP is served whatever the serial port's state: only ROM replies need it.
  if (len == 0) return;
  Line* line = FindLine(socket);
  if (line == nullptr) {
    ILineOwner& owner = *this;
    m_lines.push_back(std::make_unique<Line>(owner, *socket));
    line = m_lines.back().get();
    m_lineOf[socket] = line;
  }
  OnFrame(*line, std::span<const std::uint8_t>(m_receiveBuf.data(), len));
}

Line* DownloadEngine::FindLine(const IConnection* socket) const {
  // Looked up for every frame: a thousand connections must not cost a thousand compares.
  const auto it = m_lineOf.find(socket);
  return it == m_lineOf.end() ? nullptr : it->second;
}

bool DownloadEngine::SharedRunning() const {
  return m_sharedLine != nullptr && m_sharedLine->Shared() && m_sharedLine->Running();
}

bool DownloadEngine::MayDrive(const Line& line) const {
  // ROM replies go to the serial line, so its terminal may answer there too.
  if (m_sharedLine->CurrentDownload()->RomRunning()) {
    return &line == m_sharedLine || line.IsSerial();
  }
  return &line == m_sharedLine;
}

void DownloadEngine::OnFrame(Line& line, std::span<const std::uint8_t> frame) {
  const Line* owner = SharedRunning() ? m_sharedLine : nullptr;
  if (m_policy.RouteFrame(line, frame, owner) == Route::Own) {
    OwnFrame(line, frame);
  } else {
    SharedFrame(line, frame);
  }
}

void DownloadEngine::SharedFrame(Line& line, std::span<const std::uint8_t> frame) {
  if (SharedRunning()) {
    // A download belongs to the line that started it: another line's frame
    // gets no reply and leaves it (and the window) untouched.
    if (!MayDrive(line)) return;
    Download& download = *m_sharedLine->CurrentDownload();
    m_sharedLine->SetLastFrameMs(NowMs());
    download.SetStatus(m_snapshot.status);
    if (download.RomRunning()) {
      download.ContinueRom(frame);
    } else {
      download.ContinueBll(line, frame);
    }
  } else if (!m_accepting) {
    // Blocked (a modal command runs): the frame is dropped.
  } else if (ByteAt(frame, 0) == kRomStart && ByteAt(frame, 1) == kCmdRequest) {
    if (!m_serial.m_open) {
      // Only a TCP request gets here: its replies would need the serial port.
      const auto name = LrcMatches(frame) ? RomRequestName(frame) : std::nullopt;
      m_snapshot.status = kStatusRomNeedsSerial + name.value_or(std::string());
    } else {
      m_sharedLine = &line;
      Download& download = line.NewDownload(true, m_config.romDir, m_config.bllDir);
      download.SetStatus(m_snapshot.status);
      download.StartRom(frame);
    }
  } else if (ByteAt(frame, 0) == kBllStart && ByteAt(frame, 1) == kCmdRequest) {
    if (!IsBllRequest(frame)) return;  // dropped without a refresh
    m_sharedLine = &line;
    Download& download = line.NewDownload(true, m_config.romDir, m_config.bllDir);
    download.SetStatus(m_snapshot.status);
    download.StartBll(line, frame);
  }
  Show();
}

void DownloadEngine::OwnFrame(Line& line, std::span<const std::uint8_t> frame) {
  if (!m_accepting) {
    // A modal command holds these downloads back as it holds back the shared one.
    Show();
    return;
  }
  const bool running = line.Running();
  // A further serial line answers ROM requests itself.
  const bool romRequest =
      line.Standalone() && ByteAt(frame, 0) == kRomStart && ByteAt(frame, 1) == kCmdRequest;
  const bool bllRequest = ByteAt(frame, 0) == kBllStart && ByteAt(frame, 1) == kCmdRequest;
  if (!running && !romRequest && !bllRequest) {
    Show();
    return;
  }
  if (line.OwnSince() == 0) {
    line.SetOwnSince(++m_ownCount);
    m_ownLines.push_back(&line);
  }
  Download& download =
      running ? *line.CurrentDownload() : line.NewDownload(false, m_config.romDir, m_config.bllDir);
  // The status line is one field: a refresh before the download sets its own
  // text shows what the line holds now.
  if (!SharedRunning() && !line.Standalone()) download.SetStatus(m_snapshot.status);
  line.SetLastFrameMs(NowMs());
  if (running && download.RomRunning()) {
    download.ContinueRom(frame);
  } else if (running) {
    download.ContinueBll(line, frame);
  } else if (romRequest) {
    download.StartRom(frame);
  } else {
    if (!IsBllRequest(frame)) return;  // dropped without a refresh
    download.StartBll(line, frame);
  }
  LineStatusChanged(line);
}

void DownloadEngine::OnCommFailure() {
  // ROM replies and a serial terminal's BLL replies can go nowhere now; a BLL
  // download of a TCP connection goes on.
  if (SharedRunning() &&
      (m_sharedLine->CurrentDownload()->RomRunning() || m_sharedLine->IsSerial())) {
    m_sharedLine->CurrentDownload()->Finish(SessionEnd::PortFailed);
  }
  m_serial.Close();
  ShowPortFailed();
  Show();
}

void DownloadEngine::OnSocketAccept() {
  m_snapshot.status = kTextTcpAccepted;
  Show();
}

void DownloadEngine::OnSocketClose(IConnection* socket) {
  Line* line = FindLine(socket);
  if (line == nullptr) return;
  // Its terminal is gone: a download it started ends now instead of blocking
  // every later download.
  if (SharedRunning() && m_sharedLine == line) {
    line->CurrentDownload()->Finish(SessionEnd::ConnectionClosed);
    Show();
  }
  if (m_sharedLine == line) m_sharedLine = nullptr;
  if (line->Running()) line->CurrentDownload()->Finish(SessionEnd::ConnectionClosed);
  std::erase(m_ownLines, line);
  m_lineOf.erase(socket);
  std::erase_if(m_lines, [&](const auto& p) { return p.get() == line; });  // closes its file
}

void DownloadEngine::OnSessionTimer() {
  if (m_config.sessionTimeoutSec <= 0) return;
  const std::int64_t limit = std::int64_t{m_config.sessionTimeoutSec} * 1000;
  const std::int64_t now = NowMs();
  if (SharedRunning() && now - m_sharedLine->LastFrameMs() >= limit) {
    Download& download = *m_sharedLine->CurrentDownload();
    m_snapshot.status = kStatusTimedOut + download.FileName();
    download.Finish(SessionEnd::TimedOut);
    Show();
  }
  for (Line* line : m_ownLines) {
    if (line->Shared() || !line->Running() || now - line->LastFrameMs() < limit) continue;
    Download& download = *line->CurrentDownload();
    download.Finish(SessionEnd::TimedOut);
    download.SetStatus(kStatusTimedOut + download.FileName());
    LineStatusChanged(*line);
  }
}

std::vector<DownloadInfo> DownloadEngine::OwnDownloads() const {
  std::vector<DownloadInfo> list;
  for (const Line* line : m_ownLines) {
    // A further serial line has its row in the lines table instead.
    if (line->Shared() || !line->Running() || line->Standalone()) continue;
    const Download& download = *line->CurrentDownload();
    list.push_back({line->Peer(), download.FileName(), Percent(download)});
  }
  return list;
}

const Download* DownloadEngine::SharedDownload() const {
  return m_sharedLine != nullptr && m_sharedLine->Shared() ? m_sharedLine->CurrentDownload()
                                                           : nullptr;
}

void DownloadEngine::OnListenFailed(std::string_view reason) {
  m_snapshot.status = kTextListenError + std::string(reason);
  Show();
}

void DownloadEngine::OnPortSettings() {
  if (m_host.portSetDialog == nullptr) return;
  const auto setting = m_host.portSetDialog->RunPortSetDlg(m_config.baudIndex, m_config.port,
                                                           m_config.commType, m_config.modemInit);
  if (!setting) return;
  m_config.noSerialPort = false;  // a chosen port ends TCP-only mode
  m_config.port = setting->port;
  m_config.commType = setting->commType;
  m_config.baudIndex = setting->baudIndex;
  if (setting->modemInit) m_config.modemInit = *setting->modemInit;
  ChangePort(false);
}

void DownloadEngine::OnRomLocation() {
  SetSessionsEnabled(false);
  if (m_host.folderChooser != nullptr) {
    const auto folder = m_host.folderChooser->ChooseFolder(kTextRomLocationTitle, m_config.romDir);
    if (folder) {
      m_config.romDir = *folder;
      m_snapshot.romLocation = *folder;
      Show();
    }
  }
  SetSessionsEnabled(true);
}

void DownloadEngine::OnSaveConfig() {
  std::string error;
  SaveLoaderConfig(m_configPath, m_config, error);
  ReportSave(error);
  Show();
}

void DownloadEngine::MapPortDevice(int port, const std::string& device) {
  if (port < 1 || port > static_cast<int>(m_config.portDevices.size())) return;
  const auto index = static_cast<std::size_t>(port - 1);
  m_serial.m_portDevices[index] = device;
  m_config.portDevices[index] = device;
  std::string error;
  SavePortMapping(m_configPath, port, device, error);
  ReportSave(error);
  Show();
}

void DownloadEngine::ReportSave(const std::string& error) {
  m_snapshot.status = error.empty() ? kStatusConfigSaved + m_configPath
                                    : kStatusConfigNotSaved + m_configPath + ": " + error;
  if (m_host.log != nullptr) m_host.log->ConfigSaved(m_configPath, error);
}

bool DownloadEngine::DownloadRunning() const {
  return std::any_of(m_lines.begin(), m_lines.end(),
                     [](const auto& line) { return line->Running(); });
}

int DownloadEngine::RunningDownloads() const {
  return static_cast<int>(std::count_if(m_lines.begin(), m_lines.end(),
                                        [](const auto& line) { return line->Running(); }));
}

std::string DownloadEngine::PortExplanation() const {
  if (m_serial.m_open || m_config.noSerialPort) return {};
  const std::string& device = m_serial.PortDevice();
  const std::string& name = m_serial.m_portName;
  return name + " = " + device + ": " + (m_portReason.empty() ? kPortNotOpen : m_portReason) +
         "\n[Ports] " + name + "=" + device + " in " + m_configPath;
}

void DownloadEngine::SendTrigger() {
  m_serial.Write(TriggerFrame());
}

void DownloadEngine::SetSessionsEnabled(bool enable) {
  // A transfer cut off here is ended, so its file is closed and the buttons it
  // disabled come back.
  if (m_sharedLine != nullptr && m_sharedLine->Shared() && m_sharedLine->CurrentDownload()) {
    m_sharedLine->CurrentDownload()->Abandon();
  }
  // TCP terminals are served whatever the serial port's state (serial bytes
  // are dropped anyway while it is closed); only a missing Romvale.cfg keeps
  // everything blocked.
  m_accepting = enable && m_configLoaded;
}

void DownloadEngine::ShowPortStatus() {
  m_snapshot.portLine = OpenPortLine(m_serial);
}

std::vector<LineView> DownloadEngine::LineViews() const {
  std::vector<LineView> views;
  const std::size_t serialLines = 1 + StandaloneCount();
  if (serialLines == 1) return views;
  for (const auto& line : std::span(m_lines).first(serialLines)) {
    const SerialChannel& channel = *line->Serial();
    LineView view;
    view.name = channel.m_portName;
    view.device = channel.PortDevice();
    const Download* download = line->CurrentDownload();
    if (!line->Standalone()) {
      if (m_config.noSerialPort) continue;
      view.isPort = true;
      view.portLine = m_snapshot.portLine;
      view.status = m_snapshot.status;
      view.state =
          channel.m_open ? kLineOpen : (m_portReason.empty() ? kPortNotOpen : m_portReason);
      download = SharedDownload();
    } else {
      view.portLine = channel.m_open ? OpenPortLine(channel) : channel.m_portName + kTextPortError;
      view.state = channel.m_open
                       ? kLineOpen
                       : (line->PortReason().empty() ? kPortNotOpen : line->PortReason());
      if (download != nullptr) view.status = download->Status();
    }
    if (download != nullptr) {
      view.file = download->FileName();
      view.percent = Percent(*download);
      view.running = download->Running();
    }
    views.push_back(std::move(view));
  }
  return views;
}

bool DownloadEngine::ReopenPort() {
  m_serial.Open();
  if (!m_serial.m_open) return false;
  m_accepting = true;
  m_portReason.clear();
  ShowPortStatus();
  Show();
  return true;
}

void DownloadEngine::SetPortReason(std::string reason) {
  m_portReason = std::move(reason);
  Show();
}

void DownloadEngine::ShowStatus(std::string_view text) {
  m_snapshot.status = text;
  Show();
}

void DownloadEngine::ShowPortFailed() {
  // Downloads stay as they are: TCP does not need the serial port.
  m_snapshot.portLine = m_serial.m_portName + kTextPortError;
}

void DownloadEngine::Show() {
  if (m_host.view == nullptr) return;
  m_snapshot.portExplanation = PortExplanation();
  m_snapshot.serialPortUsed = !m_config.noSerialPort;
  // The list of running downloads is not copied here: it would cost a pass over every
  // connection for each status change. A view that lists them asks OwnDownloads().
  m_snapshot.listsDownloads = m_policy.ListsOwnDownloads();
  m_snapshot.configPath = m_configPath;
  m_snapshot.portDevices = m_config.portDevices;
  m_snapshot.lines = LineViews();
  m_host.view->Show(m_snapshot);
}

std::int64_t DownloadEngine::NowMs() const {
  return m_host.clock != nullptr ? m_host.clock->NowMs() : 0;
}

void DownloadEngine::LineStatusChanged(Line& line) {
  // A further serial line's status is its own row's.
  if (line.Standalone()) return Show();
  // A line's own download shows on the status line while no shared one runs.
  if (!line.Shared() && SharedRunning()) return;
  m_snapshot.status = line.CurrentDownload()->Status();
  Show();
}

void DownloadEngine::LineControlsChanged(Line& /*line*/, bool enable) {
  m_snapshot.controlsEnabled = enable;
  if (m_host.view != nullptr) m_host.view->EnableControls(enable);
}

void DownloadEngine::LineProgressRange(Line& line, int lower, int upper) {
  if (!line.Shared()) return OwnProgress(line);
  if (m_host.progress != nullptr) m_host.progress->SetRange(lower, upper);
}

void DownloadEngine::LineProgressStep(Line& line) {
  if (!line.Shared()) return OwnProgress(line);
  if (m_host.progress != nullptr) m_host.progress->StepIt();
}

void DownloadEngine::LineProgressPos(Line& line, int pos) {
  if (!line.Shared()) return OwnProgress(line);
  if (m_host.progress != nullptr) m_host.progress->SetPos(pos);
}

void DownloadEngine::OwnProgress(Line& line) {
  const ProgressState& bar = line.Progress();
  if (line.Standalone()) {
    if (m_host.log != nullptr)
      m_host.log->LineProgress(line.Serial()->m_portName, bar.Pos(), bar.Upper());
    return;
  }
  if (!SharedRunning() && m_host.progress != nullptr) {
    m_host.progress->SetRange(bar.Lower(), bar.Upper());
    m_host.progress->SetPos(bar.Pos());
  }
  if (m_host.log != nullptr) {
    m_host.log->SessionProgress(line.Peer(), line.CurrentDownload()->FileName(), bar.Pos(),
                                bar.Upper());
  }
}

void DownloadEngine::LineStarted(Line& line) {
  line.SetStartMs(NowMs());
}

void DownloadEngine::LineFrameRejected(Line& /*line*/) {
  ++m_framesRejected;
}

void DownloadEngine::RomReply(std::span<const std::uint8_t> frame) {
  m_serial.Write(frame);
}

bool DownloadEngine::RomModemMode() const {
  return m_serial.m_commType == kCommModem;
}

void DownloadEngine::ClearModemLink() {
  m_serial.m_connected = false;
}

void DownloadEngine::LineEnded(Line& line, SessionEnd why) {
  Report(why, line);
}

namespace {
const char* EndReason(SessionEnd why) {
  switch (why) {
    case SessionEnd::Completed:
      return "";
    case SessionEnd::TerminalError:
      return "terminal error";
    case SessionEnd::TerminalDone:
      return "stopped by the terminal";
    case SessionEnd::Abandoned:
      return "abandoned";
    case SessionEnd::ConnectionClosed:
      return "connection closed";
    case SessionEnd::TimedOut:
      return "timed out";
    case SessionEnd::PortFailed:
      return "serial port failed";
    case SessionEnd::Refused:
      return "refused";  // the download's own reason is used instead
  }
  return "";
}
}  // namespace

void DownloadEngine::Report(SessionEnd why, const Line& line) {
  if (m_host.log == nullptr) return;
  const Download& download = *line.CurrentDownload();
  DownloadReport report;
  // The terminal's own "done" is a normal end: it has what it wanted.
  report.done = why == SessionEnd::Completed || why == SessionEnd::TerminalDone;
  report.file = download.FileName();
  // A ROM image always travels on a serial line: the PORT line, whoever asked for
  // it, or the further line that asked.
  report.via =
      download.IsRom() && !line.Standalone() ? "serial " + m_serial.m_portName : line.Via();
  report.line = LineName(line);
  report.kind = download.IsRom() ? "rom" : "bll";
  if (why == SessionEnd::Refused) {
    report.reason = download.Refusal();
    m_host.log->DownloadEnded(report);
    return;
  }
  report.bytes = download.FileSize();
  report.blocks = download.PacketCount();
  report.millis = std::max<std::int64_t>(0, NowMs() - line.StartMs());
  report.reason = EndReason(why);
  report.bytesSent =
      why == SessionEnd::Completed
          ? download.FileSize()
          : std::min<std::int64_t>(std::int64_t{download.PacketNo()} * download.BlockSize(),
                                   download.FileSize());
  if (why == SessionEnd::TerminalDone) {
    report.note = "ended by the terminal at block " + std::to_string(download.PacketNo()) + " of " +
                  std::to_string(download.PacketCount());
  }
  m_host.log->DownloadEnded(report);
}
