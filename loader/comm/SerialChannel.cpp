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

SerialChannel::SerialChannel() {
  for (int i = 0; i < kPortCount; ++i)
    m_portDevices[static_cast<std::size_t>(i)] = DefaultPortDevice(i + 1);
}

void SerialChannel::PrepareOpen() {
  m_open = false;
  m_connected = false;
  const int last = m_lineDevice.empty() ? kPortCount : kLinePortCount;
  if (m_port < 1 || m_port > last) m_port = kDefaultPort;
  m_portName = "COM" + std::to_string(m_port);
  if (!IsRateIndex(m_baudIndex)) {
    m_baudIndex = kDefaultBaudIndex;
  }
  m_baudRate = RateAt(m_baudIndex).bitsPerSecond;
}

std::string SerialChannel::ModemInitCommand() const {
  return m_modemInit + static_cast<char>(kCr);
}

const std::string& SerialChannel::PortDevice() const {
  if (!m_lineDevice.empty()) return m_lineDevice;
  const int port = (m_port >= 1 && m_port <= kPortCount) ? m_port : kDefaultPort;
  return m_portDevices[static_cast<std::size_t>(port - 1)];
}

void SerialChannel::ModemResponse(std::span<const std::uint8_t> burst) {
  // Fixed positions and exact case on purpose: the burst is not searched.
  if (WordAt(burst, "RING")) {
    static constexpr std::array<std::uint8_t, 4> kAnswer = {'A', 'T', 'A', kCr};
    Write(kAnswer);
    return;
  }
  if (WordAt(burst, "CONNECT")) {
    static constexpr std::array<std::uint8_t, 3> kLinkUp = {kEnq, kEnq, kEnq};
    Write(kLinkUp);
    m_connected = true;
  }
}

void SerialChannel::TakeLineSettings(const LoaderConfig& cfg) {
  m_commType = cfg.commType;
  m_baudIndex = cfg.baudIndex;
  m_modemInit = cfg.modemInit;
  m_frameDispatch = cfg.frameDispatch;
  m_frameWaitMs = cfg.frameWaitMs;
}
