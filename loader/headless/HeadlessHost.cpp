// Line printer of the headless front end.
#include "headless/HeadlessHost.h"

#include "config/ConsoleText.h"
#include "core/DownloadDlg.h"

#include <cstdio>
#include <ostream>

std::string EscapeLine(std::string_view text) {
  return EscapeConsoleText(text);
}

CHeadlessHost::CHeadlessHost(std::ostream& out, std::ostream& err) : m_Out(out), m_Err(err) {}

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
}

void CHeadlessHost::EnableControls(bool /*bEnable*/) {}

void CHeadlessHost::PrintProgressIfChanged(int nOldPos, int nOldMax) {
  if (m_Progress.Pos() == nOldPos && m_Progress.Upper() == nOldMax) return;
  m_Out << "progress: " << m_Progress.Pos() << '/' << m_Progress.Upper() << '\n' << std::flush;
}

void CHeadlessHost::SetRange(int nLower, int nUpper) {
  const int pos = m_Progress.Pos();
  const int max = m_Progress.Upper();
  m_Progress.SetRange(nLower, nUpper);
  PrintProgressIfChanged(pos, max);
}

void CHeadlessHost::SetStep(int nStep) {
  m_Progress.SetStep(nStep);
}

void CHeadlessHost::StepIt() {
  const int pos = m_Progress.Pos();
  const int max = m_Progress.Upper();
  m_Progress.StepIt();
  PrintProgressIfChanged(pos, max);
}

void CHeadlessHost::SetPos(int nPos) {
  const int pos = m_Progress.Pos();
  const int max = m_Progress.Upper();
  m_Progress.SetPos(nPos);
  PrintProgressIfChanged(pos, max);
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
  if (report.bDone) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%lld.%03lld",
                  static_cast<long long>(report.nMillis / 1000),
                  static_cast<long long>(report.nMillis % 1000));
    m_Out << "done: " << EscapeLine(report.strFile) << ' ' << report.nBytes << " bytes "
          << report.nBlocks << " blocks in " << seconds << " s via " << EscapeLine(report.strVia)
          << '\n'
          << std::flush;
    return;
  }
  m_Out << "failed: " << EscapeLine(report.strFile) << ' ' << report.strReason << " via "
        << EscapeLine(report.strVia) << '\n'
        << std::flush;
}

void CHeadlessHost::SessionProgress(std::string_view peer, std::string_view file, int nPos,
                                    int nMax) {
  m_Out << "session: " << EscapeLine(peer) << ' ' << EscapeLine(file) << ' ' << nPos << '/' << nMax
        << '\n'
        << std::flush;
}
