// Line printer of the headless front end.
#include "headless/HeadlessHost.h"

#include "config/ConsoleText.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <optional>
#include <ostream>

namespace {
std::int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
}  // namespace

std::string EscapeLine(std::string_view text) {
  return EscapeConsoleText(text);
}

namespace {
/// Text put on a line as EscapeLine shows it; printable ASCII, what nearly every
/// line holds, goes out as it is without a copy.
struct Escaped {
  std::string_view text;
};

std::ostream& operator<<(std::ostream& out, Escaped escaped) {
  const bool plain = std::all_of(escaped.text.begin(), escaped.text.end(), [](char c) {
    return static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F;
  });
  if (plain) return out << escaped.text;
  return out << EscapeConsoleText(escaped.text);
}
}  // namespace

HeadlessHost::HeadlessHost(std::ostream& out, std::ostream& err, bool everyStep)
    : m_out(out), m_err(err), m_everyStep(everyStep), m_now(NowMs), m_throttle(everyStep) {}

DownloadHost HeadlessHost::Host() {
  return DownloadHost{this, this, this, this, this, this};
}

void HeadlessHost::PrintIfChanged(std::string_view tag, std::string_view line,
                                  const std::string& value, std::string& shown) {
  if (value == shown) return;
  shown = value;
  m_out << tag << ": ";
  if (!line.empty()) m_out << Escaped{line} << ' ';
  m_out << Escaped{value} << '\n' << std::flush;
}

namespace {
constexpr std::string_view kPercentSuffix = "% downloaded...";

/// The percentage of a download's "<file>  N% downloaded..." status, if it is one.
std::optional<int> StatusPercent(std::string_view text) {
  if (!text.ends_with(kPercentSuffix)) return std::nullopt;
  text.remove_suffix(kPercentSuffix.size());
  const std::size_t digits = text.find_last_not_of("0123456789") + 1;
  int percent = 0;
  const auto [end, ec] = std::from_chars(text.data() + digits, text.data() + text.size(), percent);
  if (digits == text.size() || ec != std::errc() || end != text.data() + text.size())
    return std::nullopt;
  return percent;
}
}  // namespace

void HeadlessHost::PrintStatus(std::string_view line, const std::string& value,
                               StatusField& field) {
  if (value == field.shown) {
    field.held.clear();
    return;
  }
  const auto percent = StatusPercent(value);
  if (!m_everyStep && percent && *percent != 0 && *percent != 100 && StatusPercent(field.shown)) {
    const std::int64_t now = m_now();
    if (now - field.shownMs < kProgressIntervalMs) {
      field.held = value;
      return;
    }
    field.shownMs = now;
  } else if (percent) {
    field.shownMs = m_now();
  }
  if (!percent) ReleaseHeld(line, field);
  field.held.clear();
  PrintIfChanged("status", line, value, field.shown);
}

void HeadlessHost::ReleaseHeld(std::string_view line, StatusField& field) {
  if (field.held.empty()) return;
  PrintIfChanged("status", line, field.held, field.shown);
  field.held.clear();
}

void HeadlessHost::FlushHeldStatus() {
  ReleaseHeld({}, m_status);
  for (auto& [name, shown] : m_shownLines) ReleaseHeld(name, shown.status);
}

void HeadlessHost::Show(const EngineSnapshot& snapshot) {
  // With several lines each carries its name; the PORT line's are the shared ones.
  m_portLineName.clear();
  for (const LineView& line : snapshot.lines) {
    ShownLine& shown = m_shownLines[line.name];
    if (line.isPort) {
      m_portLineName = line.name;
      PrintIfChanged("port", line.name, snapshot.portLine, shown.port);
      PrintStatus(line.name, snapshot.status, shown.status);
    } else {
      PrintIfChanged("port", line.name, line.portLine, shown.port);
      PrintStatus(line.name, line.status, shown.status);
    }
  }
  if (snapshot.lines.empty() || m_portLineName.empty()) {
    // One line (or TCP beside PORTS lines with PORT=NONE): as ever.
    PrintIfChanged("port", {}, snapshot.portLine, m_shownPort);
    PrintStatus({}, snapshot.status, m_status);
  }
  // A download's status line comes before the line that ends its story.
  FlushEnded();
}

void HeadlessHost::FlushEnded() {
  if (m_endedLines.empty()) return;
  FlushHeldStatus();
  for (const std::string& line : m_endedLines) m_out << line << '\n';
  m_out << std::flush;
  m_endedLines.clear();
}

void HeadlessHost::EnableControls(bool /*enable*/) {}

void HeadlessHost::PrintProgress(ProgressStep step) {
  m_out << "progress: ";
  if (!m_portLineName.empty()) m_out << Escaped{m_portLineName} << ' ';
  m_out << step.pos << '/' << step.max << '\n' << std::flush;
}

void HeadlessHost::ShowProgress(int oldPos, int oldMax) {
  const ProgressStep step{m_progress.Pos(), m_progress.Upper()};
  if (step.pos == oldPos && step.max == oldMax) return;
  switch (m_throttle.Admit(oldPos, step, m_now())) {
    case ProgressThrottle::Verdict::Print:
      FlushEnded();  // a new download: the previous one's end goes first
      PrintProgress(step);
      return;
    case ProgressThrottle::Verdict::Skip:
      return;
    case ProgressThrottle::Verdict::End:
      // Where the download stopped, not the reset bar.
      if (const auto skipped = m_throttle.TakeSkipped()) PrintProgress(*skipped);
      return;
  }
}

void HeadlessHost::SetRange(int lower, int upper) {
  const int pos = m_progress.Pos();
  const int max = m_progress.Upper();
  m_progress.SetRange(lower, upper);
  ShowProgress(pos, max);
}

void HeadlessHost::SetStep(int step) {
  m_progress.SetStep(step);
}

void HeadlessHost::StepIt() {
  const int pos = m_progress.Pos();
  const int max = m_progress.Upper();
  m_progress.StepIt();
  ShowProgress(pos, max);
}

void HeadlessHost::SetPos(int newPos) {
  const int pos = m_progress.Pos();
  const int max = m_progress.Upper();
  m_progress.SetPos(newPos);
  ShowProgress(pos, max);
}

void HeadlessHost::MessageBox(std::string_view text) {
  m_err << "message: " << Escaped{text} << '\n' << std::flush;
}

std::optional<std::string> HeadlessHost::ChooseFolder(std::string_view /*title*/,
                                                      std::string_view /*preselected*/) {
  return std::nullopt;
}

std::optional<PortSetting> HeadlessHost::RunPortSetDlg(int /*baudIndex*/, int /*port*/,
                                                       int /*commType*/,
                                                       const std::string& /*modemInit*/) {
  return std::nullopt;
}

void HeadlessHost::DownloadEnded(const DownloadReport& report) {
  m_tally.Add(report);
  constexpr std::string_view kTcpVia = "tcp ";
  if (std::string_view(report.via).starts_with(kTcpVia)) {
    m_sessionBars.erase(report.via.substr(kTcpVia.size()));
  }
  const std::string line = report.line.empty() ? std::string() : EscapeLine(report.line) + ' ';
  if (!report.done) {
    m_endedLines.push_back("failed: " + line + EscapeLine(report.file) + ' ' +
                           EscapeLine(report.reason) + " via " + EscapeLine(report.via));
    return;
  }
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%lld.%03lld",
                static_cast<long long>(report.millis / 1000),
                static_cast<long long>(report.millis % 1000));
  std::string done = "done: " + line + EscapeLine(report.file) + ' ' +
                     std::to_string(report.bytes) + " bytes " + std::to_string(report.blocks) +
                     " blocks in " + seconds + " s via " + EscapeLine(report.via);
  if (!report.note.empty()) done += " (" + EscapeLine(report.note) + ")";
  m_endedLines.push_back(std::move(done));
}

void HeadlessHost::PrintSession(std::string_view peer, std::string_view file, ProgressStep step) {
  m_out << "session: " << Escaped{peer} << ' ' << Escaped{file} << ' ' << step.pos << '/'
        << step.max << '\n'
        << std::flush;
}

void HeadlessHost::SessionProgress(std::string_view peer, std::string_view file, int pos, int max) {
  ThrottledStep(m_sessionBars, peer, ProgressStep{pos, max},
                [&](ProgressStep step) { PrintSession(peer, file, step); });
}

void HeadlessHost::LineProgress(std::string_view line, int pos, int max) {
  ThrottledStep(m_lineBars, line, ProgressStep{pos, max}, [&](ProgressStep step) {
    m_out << "progress: " << Escaped{line} << ' ' << step.pos << '/' << step.max << '\n'
          << std::flush;
  });
}

template <typename Print>
void HeadlessHost::ThrottledStep(BarMap& bars, std::string_view key, ProgressStep step,
                                 const Print& print) {
  if (m_everyStep) {
    FlushEnded();
    print(step);
    return;
  }
  // Found without building a key: this runs for every block of every download.
  auto it = bars.find(key);
  if (it == bars.end()) {
    it = bars.emplace(std::string(key), SessionBar{ProgressThrottle(false), 0}).first;
  }
  SessionBar& bar = it->second;
  const int oldPos = bar.pos;
  bar.pos = step.pos;
  switch (bar.throttle.Admit(oldPos, step, m_now())) {
    case ProgressThrottle::Verdict::Print:
      FlushEnded();
      print(step);
      return;
    case ProgressThrottle::Verdict::Skip:
      return;
    case ProgressThrottle::Verdict::End:
      if (const auto skipped = bar.throttle.TakeSkipped()) print(*skipped);
      bars.erase(it);
      return;
  }
}
