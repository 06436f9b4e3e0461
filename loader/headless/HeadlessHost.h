// The headless front end's side of the dialog: every change of the port status
// or status line is one "port:"/"status:" line on stdout, every progress change
// a "progress: <pos>/<max>" line, every message box a "message:" line on stderr;
// every download that ends a "done:" or "failed:" line, and every progress step
// of a connection's own session a "session:" line.
// Nobody is there to answer the folder chooser or the port dialog.
#pragma once

#include "core/DownloadHost.h"
#include "core/ProgressState.h"

#include <iosfwd>
#include <string>
#include <string_view>

class CDownloadDlg;

/// The text as one output line: CR and LF become the escapes \r and \n, every
/// other control byte \xNN, so no byte from a file name or a peer acts on the console.
std::string EscapeLine(std::string_view text);

class CHeadlessHost : public IDownloadView,
                      public IProgressCtrl,
                      public IMessageSink,
                      public IFolderChooser,
                      public IPortSetDialog,
                      public IDownloadLog {
 public:
  CHeadlessHost(std::ostream& out, std::ostream& err);

  /// The dialog whose fields UpdateData shows (set once it exists).
  void SetDlg(const CDownloadDlg* pDlg) noexcept { m_pDlg = pDlg; }
  DownloadHost Host();

  void UpdateData(bool bSaveAndValidate) override;
  void EnableControls(bool bEnable) override;
  void SetRange(int nLower, int nUpper) override;
  void SetStep(int nStep) override;
  void StepIt() override;
  void SetPos(int nPos) override;
  void MessageBox(std::string_view text) override;
  std::optional<std::string> ChooseFolder(std::string_view title,
                                          std::string_view preselected) override;
  std::optional<PortSetting> RunPortSetDlg(int nBaudIndex, int nPort, int nCommType,
                                           const std::string& strModemInit) override;
  /// "done: <file> <bytes> bytes <blocks> blocks in <seconds> s via <channel>" or
  /// "failed: <file> <reason> via <channel>".
  void DownloadEnded(const DownloadReport& report) override;
  /// "session: <peer> <file> <pos>/<max>".
  void SessionProgress(std::string_view peer, std::string_view file, int nPos, int nMax) override;

 private:
  void PrintIfChanged(std::string_view tag, const std::string& value, std::string& shown);
  void PrintProgressIfChanged(int nOldPos, int nOldMax);

  std::ostream& m_Out;
  std::ostream& m_Err;
  const CDownloadDlg* m_pDlg = nullptr;
  std::string m_strShownPort;
  std::string m_strShownStatus;
  CProgressState m_Progress;
};
