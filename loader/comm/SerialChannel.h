// The serial channel as the rest of the loader sees it: settings fields, the
// receive queue, open/close/write, and the modem's answering logic. CCommPort
// implements it on a real port; tests implement it with a fake.
#pragma once

#include "comm/ByteQueue.h"
#include "config/LoaderDefaults.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

/// The serial channel. The main thread owns the settings fields and calls
/// Open, Close, Write and ModemResponse; a reader fills m_QueueRead.
class CSerialChannel {
 public:
  CSerialChannel();
  virtual ~CSerialChannel() = default;
  CSerialChannel(const CSerialChannel&) = delete;
  CSerialChannel& operator=(const CSerialChannel&) = delete;

  /// Opens the port from m_nPort, m_nBaudIndex and m_nCommType. Callers judge
  /// the outcome by m_bOpen afterwards, not by the result.
  virtual bool Open() = 0;
  /// Stops the reader and closes the port; the queue keeps its bytes.
  virtual void Close() = 0;
  /// Sends the bytes and waits until they are written; bytes written, 0 on failure.
  virtual int Write(std::span<const std::uint8_t> data) = 0;

  /// Modem result handling for one drained burst (text framed by CR LF, so the
  /// word starts at offset 2): RING -> "ATA\r"; CONNECT... -> ENQ ENQ ENQ and
  /// m_bConnected = true; anything else -> nothing.
  void ModemResponse(std::span<const std::uint8_t> burst);

  /// Open's first steps, shared by every implementation: clears m_bOpen and
  /// m_bConnected, corrects m_nPort (1..8, else 1) and m_nBaudIndex (0..8,
  /// else 7), sets m_strPortName and m_dwBaudRate.
  void PrepareOpen();

  /// The modem initialisation command as sent on Open: the whole command + CR.
  std::string ModemInitCommand() const;

  /// Device path for m_nPort, from m_PortDevices.
  const std::string& PortDevice() const;

  bool m_bConnected = false;             // modem link up (CONNECT seen)
  int m_nBaudIndex = kDefaultBaudIndex;  // index into kLineRates
  int m_nCommType = kDefaultCommType;    // COMM_MODEM or COMM_RS232
  int m_nPort = kDefaultPort;            // COM1..COM8
  std::uint32_t m_dwBaudRate = RateAt(kDefaultBaudIndex).dwBitsPerSecond;
  std::string m_strPortName = "COM1";
  std::atomic<bool> m_bOpen{false};  // port open and reader running
  std::string m_strModemInit{kDefaultModemInit};
  /// Hand a burst over as soon as it holds a complete frame (DISPATCH=FRAME);
  /// false keeps the pure burst rule (DISPATCH=BURST). Read by Open.
  bool m_bFrameDispatch = kDefaultFrameDispatch;
  /// How long a partial frame waits for its rest before it goes as it is (FRAMEWAIT).
  int m_nFrameWaitMs = kDefaultFrameWaitMs;
  CByteQueue m_QueueRead;
  /// COM1..COM8 -> device path ([Ports] of Romvale.cfg).
  std::array<std::string, kPortCount> m_PortDevices;
};
