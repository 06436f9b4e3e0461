// Settings logic and modem answering shared by every serial channel.
#include "comm/SerialChannel.h"

#include <algorithm>

namespace {
constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kEnq = 0x05;
constexpr std::size_t kModemWordOffset = 2;  // after the modem's CR LF

bool WordAt(std::span<const std::uint8_t> burst, std::string_view word) {
  if (burst.size() < kModemWordOffset + word.size()) return false;
  return std::equal(word.begin(), word.end(), burst.begin() + kModemWordOffset,
                    [](char c, std::uint8_t b) { return static_cast<std::uint8_t>(c) == b; });
}
}  // namespace

CSerialChannel::CSerialChannel() {
  for (int i = 0; i < kPortCount; ++i)
    m_PortDevices[static_cast<std::size_t>(i)] = DefaultPortDevice(i + 1);
}

void CSerialChannel::PrepareOpen() {
  m_bOpen = false;
  m_bConnected = false;
  if (m_nPort < 1 || m_nPort > kPortCount) m_nPort = kDefaultPort;
  m_strPortName = "COM" + std::to_string(m_nPort);
  if (!IsRateIndex(m_nBaudIndex)) {
    m_nBaudIndex = kDefaultBaudIndex;
  }
  m_dwBaudRate = RateAt(m_nBaudIndex).dwBitsPerSecond;
}

std::string CSerialChannel::ModemInitCommand() const {
  return m_strModemInit + static_cast<char>(kCr);
}

const std::string& CSerialChannel::PortDevice() const {
  const int port = (m_nPort >= 1 && m_nPort <= kPortCount) ? m_nPort : kDefaultPort;
  return m_PortDevices[static_cast<std::size_t>(port - 1)];
}

void CSerialChannel::ModemResponse(std::span<const std::uint8_t> burst) {
  // Fixed positions and exact case on purpose: the burst is not searched.
  if (WordAt(burst, "RING")) {
    static constexpr std::array<std::uint8_t, 4> kAnswer = {'A', 'T', 'A', kCr};
    Write(kAnswer);
    return;
  }
  if (WordAt(burst, "CONNECT")) {
    static constexpr std::array<std::uint8_t, 3> kLinkUp = {kEnq, kEnq, kEnq};
    Write(kLinkUp);
    m_bConnected = true;
  }
}
