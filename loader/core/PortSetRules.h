// The port-settings dialog's rules as plain values: what the dialog starts
// with, which rate buttons it offers, and what OK hands back. The Qt dialog
// only moves these values to and from its buttons.
#pragma once

#include "core/DownloadHost.h"

#include <array>
#include <string>
#include <string_view>

namespace portset {

inline constexpr std::string_view kCaption = "통신 포트 설정";
inline constexpr std::string_view kOk = "확인";
inline constexpr std::string_view kCancel = "취소";
inline constexpr std::string_view kPortGroup = "통신 포트";
inline constexpr std::string_view kTypeGroup = "통신 형식";
inline constexpr std::string_view kRateGroup = "통신 속도";
inline constexpr std::string_view kModem = "MODEM";
inline constexpr std::string_view kRs232c = "RS232C";
inline constexpr std::string_view kModemLabel = "Modem initial command";

inline constexpr int kPortButtons = 8;
inline constexpr int kTypeButtons = 2;
inline constexpr int kRateButtons = kRateCount;

/// Control ids in the order the buttons appear; index in the array = value.
inline constexpr std::array<int, kPortButtons> kPortIds = {1015, 1016, 1017, 1018,
                                                           1026, 1027, 1028, 1029};
inline constexpr std::array<std::string_view, kPortButtons> kPortTexts = {
    "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8"};
inline constexpr int kModemId = 1019;
inline constexpr int kRs232cId = 1020;
inline constexpr std::array<int, kRateButtons> kRateIds = {1021, 1022, 1023, 1024, 1025,
                                                           1037, 1038, 1039, 1040};
inline constexpr int kModemLabelId = 1048;
inline constexpr int kModemInitId = 1049;

/// Button indexes of the type group.
inline constexpr int kTypeModem = 0;
inline constexpr int kTypeRs232c = 1;
/// What a radio group with no selected button reads as.
inline constexpr int kNoSelection = -1;

/// Rate indexes a modem link may use (1200, 2400); the rest need a direct line.
inline constexpr int kLowestDirectRate = 2;
inline constexpr int kModemFallbackRate = 0;                   // 1200 bit/s
inline constexpr int kDirectFallbackRate = kDefaultBaudIndex;  // 57600 bit/s

}  // namespace portset

/// The dialog's members, in the dialog's own terms (0-based button indexes).
struct PortSetValues {
  int m_baud = portset::kNoSelection;      // rate button 0..8
  int m_port = portset::kNoSelection;      // port button 0..7 = port number - 1
  int m_commType = portset::kNoSelection;  // 0 = MODEM, 1 = RS232C
  std::string m_modemInit;                 // edit 1049
  std::string m_modemLabel;                // edit 1048
};

/// Which rate buttons are usable and whether the modem command edit is.
struct RateLimits {
  std::array<bool, portset::kRateButtons> rateEnabled{};
  bool modemInitEnabled = false;
};

/// The members as the dialog is constructed from the channel's settings
/// (port and type are 1-based there, buttons 0-based here).
PortSetValues MakePortSetValues(int baudIndex, int port, int commType, std::string_view modemInit);

/// Limits the rate buttons by the type as the dialog opens, and moves a rate
/// the type cannot use to the type's fallback. Decided once per dialog.
RateLimits ApplyRateLimits(PortSetValues& values);

/// The channel settings OK yields: port and type 1-based again (0 when no
/// button was selected), the rate index (-1 when none), and the modem command
/// only when the resulting type is the modem.
PortSetting GetSetting(const PortSetValues& values);

/// The index a radio group shows for a value: the value itself when it names
/// one of its buttons, otherwise no button (-1).
int RadioIndex(int value, int buttons);
