// Rules of the port-settings dialog, kept free of widgets so they can be
// checked on their own.
#include "core/PortSetRules.h"

#include "comm/SerialChannel.h"

PortSetValues MakePortSetValues(int baudIndex, int port, int commType, std::string_view modemInit) {
  PortSetValues values;
  values.m_baud = baudIndex;
  values.m_port = port - 1;
  values.m_commType = commType - 1;
  values.m_modemInit = std::string(modemInit);
  values.m_modemLabel = std::string(portset::kModemLabel);
  return values;
}

int RadioIndex(int value, int buttons) {
  return value >= 0 && value < buttons ? value : portset::kNoSelection;
}

RateLimits ApplyRateLimits(PortSetValues& values) {
  using namespace portset;
  RateLimits limits;
  const int shownRate = RadioIndex(values.m_baud, kRateButtons);
  // Anything but the MODEM button (RS232C or no type at all) counts as a direct line.
  const bool modem = values.m_commType == kTypeModem;
  if (modem) {
    if (shownRate >= kLowestDirectRate) values.m_baud = kModemFallbackRate;
  } else if (shownRate != kNoSelection && shownRate < kLowestDirectRate) {
    values.m_baud = kDirectFallbackRate;
  }
  for (int i = 0; i < kRateButtons; ++i) {
    const bool low = i < kLowestDirectRate;
    limits.rateEnabled[static_cast<std::size_t>(i)] = modem ? low : !low;
  }
  limits.modemInitEnabled = modem;
  return limits;
}

PortSetting GetSetting(const PortSetValues& values) {
  PortSetting setting;
  setting.port = values.m_port + 1;
  setting.commType = values.m_commType + 1;
  setting.baudIndex = values.m_baud;
  if (setting.commType == kCommModem) setting.modemInit = values.m_modemInit;
  return setting;
}
