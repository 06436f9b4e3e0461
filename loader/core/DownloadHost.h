// What the download dialog's core needs from the outside world. The Qt window,
// the headless runner and the tests each implement these small interfaces; the
// core (CDownloadDlg) holds no widget, socket or clock.
#pragma once

#include "config/LoaderDefaults.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

/// The dialog's view. UpdateData(false) = "show my fields now" (port status,
/// status line, ROM location). The core never calls it with true.
class IDownloadView {
public:
  virtual ~IDownloadView() = default;
  virtual void UpdateData(bool bSaveAndValidate) = 0;
  /// false disables the buttons 1005, 3 and 1008 (port settings, download,
  /// ROM location); true enables them again.
  virtual void EnableControls(bool bEnable) = 0;
};

/// The progress bar (control 1013).
class IProgressCtrl {
public:
  virtual ~IProgressCtrl() = default;
  virtual void SetRange(int nLower, int nUpper) = 0;
  virtual void SetStep(int nStep) = 0;
  virtual void StepIt() = 0;
  virtual void SetPos(int nPos) = 0;
};

/// Modal message box with an OK button, owned by the dialog.
class IMessageSink {
public:
  virtual ~IMessageSink() = default;
  virtual void MessageBox(std::string_view text) = 0;
};

/// The folder chooser of the ROM-location command. Returns the chosen folder,
/// or nothing when the user cancels (or there is no one to ask).
class IFolderChooser {
public:
  virtual ~IFolderChooser() = default;
  virtual std::optional<std::string> ChooseFolder(std::string_view title,
                                                  std::string_view preselected) = 0;
};

/// Values the port-settings dialog hands back on OK (its GetSetting).
struct PortSetting {
  int nPort = kDefaultPort;               // 1..8; 0 when no port button was selected
  int nCommType = kDefaultCommType;       // COMM_MODEM or COMM_RS232
  int nBaudIndex = kDefaultBaudIndex;     // 0..8, or -1 when no rate was selected
  std::optional<std::string> strModemInit;  // set only when the type is modem
};

/// Runs the port-settings dialog modally, initialised from the channel's current
/// values. Returns the choice on OK, nothing on Cancel.
class IPortSetDialog {
public:
  virtual ~IPortSetDialog() = default;
  virtual std::optional<PortSetting> RunPortSetDlg(int nBaudIndex, int nPort, int nCommType,
                                                   const std::string& strModemInit) = 0;
};

/// Everything a CDownloadDlg talks to besides its serial channel.
struct DownloadHost {
  IDownloadView* view = nullptr;
  IProgressCtrl* progress = nullptr;
  IMessageSink* messages = nullptr;
  IFolderChooser* folderChooser = nullptr;
  IPortSetDialog* portSetDialog = nullptr;
};
