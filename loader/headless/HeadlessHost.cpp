// Line printer of the headless front end.
#include "headless/HeadlessHost.h"

#include "config/ConsoleText.h"
#include "core/DownloadDlg.h"

#include <chrono>
#include <cstdio>
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

CHeadlessHost::CHeadlessHost(std::ostream& out, std::ostream& err, bool bEveryStep)
    : m_Out(out), m_Err(err), m_bEveryStep(bEveryStep), m_throttle(bEveryStep) {}

DownloadHost CHeadlessHost::Host() {
  return DownloadHost{this, this, this, this, this, this};
}

void CHeadlessHost::PrintIfChanged(std::string_view tag, const std::string& value,
                                   std::string& shown) {
  if (value == shown) return;
  shown = value;
  m_Out << tag << ": " << EscapeLine(value) << '\n' << std::flush;
}

void CHeadlessHost::UpdateData(bool bSaveAndValidate) {
  if (bSaveAndValidate || m_pDlg == nullptr) return;
  PrintIfChanged("port", m_pDlg->m_strPortStatus, m_strShownPort);
  PrintIfChanged("status", m_pDlg->m_strStatus, m_strShownStatus);
  // A download's status line comes before the line that ends its story.
  FlushEnded();
}

void CHeadlessHost::FlushEnded() {
  if (m_endedLines.empty()) return;
  for (const std::string& line : m_endedLines) m_Out << line << '\n';
  m_Out << std::flush;
  m_endedLines.clear();
}

void CHeadlessHost::EnableControls(bool /*bEnable*/) {}

void CHeadlessHost::PrintProgress(ProgressStep step) {
  m_Out << "progress: " << step.pos << '/' << step.max << '\n' << std::flush;
}

void CHeadlessHost::ShowProgress(int nOldPos, int nOldMax) {
  const ProgressStep step{m_Progress.Pos(), m_Progress.Upper()};
  if (step.pos == nOldPos && step.max == nOldMax) return;
  switch (m_throttle.Admit(nOldPos, step, NowMs())) {
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

void CHeadlessHost::SetRange(int nLower, int nUpper) {
  const int pos = m_Progress.Pos();
  const int max = m_Progress.Upper();
  m_Progress.SetRange(nLower, nUpper);
  ShowProgress(pos, max);
}

void CHeadlessHost::SetStep(int nStep) {
  m_Progress.SetStep(nStep);
}

void CHeadlessHost::StepIt() {
  const int pos = m_Progress.Pos();
  const int max = m_Progress.Upper();
  m_Progress.StepIt();
  ShowProgress(pos, max);
}

void CHeadlessHost::SetPos(int nPos) {
  const int pos = m_Progress.Pos();
  const int max = m_Progress.Upper();
  m_Progress.SetPos(nPos);
  ShowProgress(pos, max);
}

void CHeadlessHost::MessageBox(std::string_view text) {
  m_Err << "message: " << EscapeLine(text) << '\n' << std::flush;
}

std::optional<std::string> CHeadlessHost::ChooseFolder(std::string_view /*title*/,
                                                       std::string_view /*preselected*/) {
  return std::nullopt;
}

std::optional<PortSetting> CHeadlessHost::RunPortSetDlg(int /*nBaudIndex*/, int /*nPort*/,
                                                        int /*nCommType*/,
                                                        const std::string& /*strModemInit*/) {
  return std::nullopt;
}

void CHeadlessHost::DownloadEnded(const DownloadReport& report) {
  m_tally.Add(report);
  constexpr std::string_view kTcpVia = "tcp ";
  if (std::string_view(report.strVia).starts_with(kTcpVia)) {
    m_sessionBars.erase(report.strVia.substr(kTcpVia.size()));
  }
  if (!report.bDone) {
    m_endedLines.push_back("failed: " + EscapeLine(report.strFile) + ' ' +
                           EscapeLine(report.strReason) + " via " + EscapeLine(report.strVia));
    return;
  }
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%lld.%03lld",
                static_cast<long long>(report.nMillis / 1000),
                static_cast<long long>(report.nMillis % 1000));
  std::string line = "done: " + EscapeLine(report.strFile) + ' ' + std::to_string(report.nBytes) +
                     " bytes " + std::to_string(report.nBlocks) + " blocks in " + seconds +
                     " s via " + EscapeLine(report.strVia);
  if (!report.strNote.empty()) line += " (" + EscapeLine(report.strNote) + ")";
  m_endedLines.push_back(std::move(line));
}

void CHeadlessHost::PrintSession(std::string_view peer, std::string_view file, ProgressStep step) {
  m_Out << "session: " << EscapeLine(peer) << ' ' << EscapeLine(file) << ' ' << step.pos << '/'
        << step.max << '\n'
        << std::flush;
}

void CHeadlessHost::SessionProgress(std::string_view peer, std::string_view file, int nPos,
                                    int nMax) {
  const ProgressStep step{nPos, nMax};
  if (m_bEveryStep) {
    FlushEnded();
    PrintSession(peer, file, step);
    return;
  }
  // Found without building a key: this runs for every block of every connection.
  auto it = m_sessionBars.find(peer);
  if (it == m_sessionBars.end()) {
    it = m_sessionBars.emplace(std::string(peer), SessionBar{ProgressThrottle(false), 0}).first;
  }
  SessionBar& bar = it->second;
  const int oldPos = bar.pos;
  bar.pos = nPos;
  switch (bar.throttle.Admit(oldPos, step, NowMs())) {
    case ProgressThrottle::Verdict::Print:
      FlushEnded();
      PrintSession(peer, file, step);
      return;
    case ProgressThrottle::Verdict::Skip:
      return;
    case ProgressThrottle::Verdict::End:
      if (const auto skipped = bar.throttle.TakeSkipped()) PrintSession(peer, file, *skipped);
      m_sessionBars.erase(it);
      return;
  }
}
