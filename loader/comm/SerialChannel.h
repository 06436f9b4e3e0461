// The serial channel as the rest of the loader sees it: settings fields, the
// receive queue, open/close/write, and the modem's answering logic. CommPort
// implements it on a real port; tests implement it with a fake.
#pragma once

#include "comm/ByteQueue.h"
#include "config/LoaderConfig.h"
#include "config/LoaderDefaults.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

/// The serial channel. The main thread owns the settings fields and calls
/// Open, Close, Write and ModemResponse; a reader fills m_readQueue.
class SerialChannel {
 public:
  SerialChannel();
  virtual ~SerialChannel() = default;
  SerialChannel(const SerialChannel&) = delete;
  SerialChannel& operator=(const SerialChannel&) = delete;

  /// Opens the port from m_port, m_baudIndex and m_commType. Callers judge
  /// the outcome by m_open afterwards, not by the result.
  virtual bool Open() = 0;
  /// Stops the reader and closes the port; the queue keeps its bytes.
  virtual void Close() = 0;
  /// Sends the bytes and waits until they are written; bytes written, 0 on failure.
  virtual int Write(std::span<const std::uint8_t> data) = 0;

  /// Modem result handling for one drained burst (text framed by CR LF, so the
  /// word starts at offset 2): RING -> "ATA\r"; CONNECT... -> ENQ ENQ ENQ and
  /// m_connected = true; anything else -> nothing.
  void ModemResponse(std::span<const std::uint8_t> burst);

  /// Open's first steps, shared by every implementation: clears m_open and
  /// m_connected, corrects m_port (1..8, 1..16 with m_lineDevice, else 1) and m_baudIndex (0..8,
  /// else 7), sets m_portName and m_baudRate.
  void PrepareOpen();

  /// Takes the line choices of cfg that every line shares: type, rate, modem
  /// command, dispatch rule and frame wait. Read by the next Open.
  void TakeLineSettings(const LoaderConfig& cfg);

  /// The modem initialisation command as sent on Open: the whole command + CR.
  std::string ModemInitCommand() const;

  /// Device path for m_port, from m_portDevices.
  const std::string& PortDevice() const;

  bool m_connected = false;             // modem link up (CONNECT seen)
  int m_baudIndex = kDefaultBaudIndex;  // index into kLineRates
  int m_commType = kDefaultCommType;    // kCommModem or kCommRs232
  int m_port = kDefaultPort;            // COM1..COM8
  std::uint32_t m_baudRate = RateAt(kDefaultBaudIndex).bitsPerSecond;
  std::string m_portName = "COM1";
  std::atomic<bool> m_open{false};  // port open and reader running
  std::string m_modemInit{kDefaultModemInit};
  /// Hand a burst over as soon as it holds a complete frame (DISPATCH=FRAME);
  /// false keeps the pure burst rule (DISPATCH=BURST). Read by Open.
  bool m_frameDispatch = kDefaultFrameDispatch;
  /// How long a partial frame waits for its rest before it goes as it is (FRAMEWAIT).
  int m_frameWaitMs = kDefaultFrameWaitMs;
  ByteQueue m_readQueue;
  /// COM1..COM8 -> device path ([Ports] of Romvale.cfg).
  std::array<std::string, kPortCount> m_portDevices;
  /// The device of a further line (PORTS): when set, Open uses it instead of
  /// m_portDevices and m_port may name COM1..COM16.
  std::string m_lineDevice;
};
