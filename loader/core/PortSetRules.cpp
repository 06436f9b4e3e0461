// Rules of the port-settings dialog, kept free of widgets so they can be
// checked on their own.
#include "core/PortSetRules.h"

#include "comm/SerialChannel.h"

PortSetValues MakePortSetValues(int nBaudIndex, int nPort, int nCommType,
                                std::string_view strModemInit) {
  PortSetValues values;
  values.m_nBaud = nBaudIndex;
  values.m_nPort = nPort - 1;
  values.m_nCommType = nCommType - 1;
  values.m_strModemInit = std::string(strModemInit);
  values.m_strModemLabel = std::string(portset::kModemLabel);
  return values;
}

int RadioIndex(int nValue, int nButtons) {
  return nValue >= 0 && nValue < nButtons ? nValue : portset::kNoSelection;
}

RateLimits ApplyRateLimits(PortSetValues& values) {
  using namespace portset;
  RateLimits limits;
  const int shownRate = RadioIndex(values.m_nBaud, kRateButtons);
  // Anything but the MODEM button (RS232C or no type at all) counts as a direct line.
  const bool bModem = values.m_nCommType == kTypeModem;
  if (bModem) {
    if (shownRate >= kLowestDirectRate) values.m_nBaud = kModemFallbackRate;
  } else if (shownRate != kNoSelection && shownRate < kLowestDirectRate) {
    values.m_nBaud = kDirectFallbackRate;
  }
  for (int i = 0; i < kRateButtons; ++i) {
    const bool bLow = i < kLowestDirectRate;
    limits.bRateEnabled[static_cast<std::size_t>(i)] = bModem ? bLow : !bLow;
  }
  limits.bModemInitEnabled = bModem;
  return limits;
}

PortSetting GetSetting(const PortSetValues& values) {
  PortSetting setting;
  setting.nPort = values.m_nPort + 1;
  setting.nCommType = values.m_nCommType + 1;
  setting.nBaudIndex = values.m_nBaud;
  if (setting.nCommType == COMM_MODEM) setting.strModemInit = values.m_strModemInit;
  return setting;
}
