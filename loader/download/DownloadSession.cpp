// ROM and BLL download sessions: start replies, block frames, resends, endings.
#include "download/DownloadSession.h"

#include "download/FileSelector.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace {
enum class ImageOpen { Ok, Unopenable, TooLarge };

// Opens an image and measures it; too many blocks for the 16-bit fields is refused.
ImageOpen OpenAndMeasure(CUniqueFd& file, const std::string& dir, const std::string& name,
                         int blockSize, int& fileSize, int& packetCount, std::string& why) {
  file = OpenImageInDir(dir, name, why);
  if (!file) return ImageOpen::Unopenable;
  const std::int64_t size = GetFileSize(file.Get());
  if (size < 0) {
    file.Reset();
    why = "cannot be measured";
    return ImageOpen::Unopenable;
  }
  const std::int64_t blocks = (size + blockSize - 1) / blockSize;
  if (blocks > kMaxBlocks) {
    file.Reset();
    why = "too large (" + std::to_string(blocks) + " blocks, at most " +
          std::to_string(kMaxBlocks) + ")";
    return ImageOpen::TooLarge;
  }
  fileSize = static_cast<int>(size);
  packetCount = static_cast<int>(blocks);
  return ImageOpen::Ok;
}
}  // namespace

// ROM replies always leave through the serial channel.
class CDownloadSession::CSerialReply : public IFrameSink {
 public:
  explicit CSerialReply(CDownloadSession& session) : m_Session(session) {}
  void SendFrame(std::span<const std::uint8_t> frame) override { m_Session.SerialWrite(frame); }

 private:
  CDownloadSession& m_Session;
};

void CDownloadSession::StartRomSession(std::span<const std::uint8_t> frame) {
  m_nBlockSize = ModemMode() ? kRomModemBlockSize : kRomBlockSize;
  const auto name = LrcMatches(frame) ? RomRequestName(frame) : std::nullopt;
  if (!name) {
    UpdateData(false);
    OnFrameRejected();
    SerialWrite(RomRejectFrame(RomReject::BadFrame));
    return;
  }
  m_strFileName = *name;
  m_pRomFile.Reset();
  const ImageOpen opened = OpenAndMeasure(m_pRomFile, m_strRomDir, *name, m_nBlockSize, m_nFileSize,
                                          m_nPacketCount, m_strRefusal);
  if (opened != ImageOpen::Ok) {
    m_nRomState = kStateIdle;
    // The terminal sees the same "0000" for both; only the status line tells them apart.
    if (opened == ImageOpen::TooLarge) m_strStatus = kStatusTooLarge + m_strFileName;
    UpdateData(false);
    OnFrameRejected();
    SerialWrite(RomRejectFrame(RomReject::FileNotOpened));
    OnSessionEnded(SessionEnd::Refused);
    return;
  }
  // The range is not cut to 16 bits: 65535 blocks would wrap it to 0..0.
  ProgressSetRange(0, m_nPacketCount + 1);
  m_nPacketNo = 0;
  m_nRomState = kStateActive;
  SerialWrite(RomStartReply(m_nPacketCount, ImageChecksum(m_pRomFile.Get(), m_nFileSize)));
  m_strStatus = m_strFileName + kStatusStarted;
  EnableControls(false);
  OnSessionStarted();
  UpdateData(false);
}

void CDownloadSession::ContinueRomSession(std::span<const std::uint8_t> frame) {
  CSerialReply serial(*this);
  ContinueSession(FrameFamily::Rom, serial, frame);
}

void CDownloadSession::StartBllSession(IFrameSink& reply, std::span<const std::uint8_t> frame) {
  const auto refuse = [&](std::string status) {
    UpdateData(false);
    OnFrameRejected();
    reply.SendFrame(BllRejectFrame());
    m_strStatus = std::move(status);
    UpdateData(false);
  };
  if (!LrcMatches(frame)) return refuse(kStatusLrcError);
  const auto request = BllRequestFile(frame);
  if (!request) return refuse(kStatusLengthError);

  m_strFileName = request->name;
  m_nBlockSize = request->blockSize;
  m_pBllFile.Reset();
  const ImageOpen opened = OpenAndMeasure(m_pBllFile, m_strBllDir, request->name, m_nBlockSize,
                                          m_nFileSize, m_nPacketCount, m_strRefusal);
  if (opened != ImageOpen::Ok) {
    refuse((opened == ImageOpen::TooLarge ? kStatusTooLarge : kStatusOpenError) + m_strFileName);
    OnSessionEnded(SessionEnd::Refused);
    return;
  }

  ProgressSetRange(0, m_nPacketCount + 1);
  m_nPacketNo = 0;
  m_nBllState = kStateActive;
  reply.SendFrame(BllStartReply(m_nPacketCount, m_nBlockSize));
  m_strStatus = m_strFileName + kStatusStarted;
  EnableControls(false);
  OnSessionStarted();
  UpdateData(false);
}

void CDownloadSession::ContinueBllSession(IFrameSink& reply, std::span<const std::uint8_t> frame) {
  ContinueSession(FrameFamily::Bll, reply, frame);
}

void CDownloadSession::ContinueSession(FrameFamily family, IFrameSink& reply,
                                       std::span<const std::uint8_t> frame) {
  const bool rom = family == FrameFamily::Rom;
  if (!LrcMatches(frame)) {
    UpdateData(false);
    OnFrameRejected();
    if (rom) {
      // The ROM reject leaves the status line as it is.
      reply.SendFrame(RomRejectFrame(RomReject::BadFrame));
      return;
    }
    reply.SendFrame(BllRejectFrame());
    m_strStatus = kStatusLrcError;
    UpdateData(false);
    return;
  }
  // The two families differ only in their command bytes; ROM alone has "done".
  const std::uint8_t next = rom ? kCmdRomNext : kCmdBllNext;
  const std::uint8_t termError = rom ? kCmdRomTermError : kCmdBllTermError;
  const auto build = [&](Frame& out) { return rom ? BuildRomPacket(out) : BuildBllPacket(out); };
  const std::uint8_t command = ByteAt(frame, 1);
  Frame& out = m_Reply;
  out.clear();
  if (command == kCmdBegin) {
    m_nPacketNo = 0;
    const bool more = build(out);
    ProgressStepIt();
    // No blocks at all: the end frame goes out at once.
    if (!more) FinishTransfer(SessionEnd::Completed);
  } else if (command == next) {
    if (ByteAt(frame, kVerdictOffset) == kAck) {
      ++m_nPacketNo;
      ProgressStepIt();
    }
    if (!build(out)) FinishTransfer(SessionEnd::Completed);
  } else if (command == termError || (rom && command == kCmdRomDone)) {
    const bool done = command != termError;
    m_strStatus = done ? kStatusRomDone : kStatusTermError;
    FinishTransfer(done ? SessionEnd::TerminalDone : SessionEnd::TerminalError);
    UpdateData(false);
    return;
  }
  // Any other command has no reply: only the progress text is refreshed.
  ShowPercentage();
  UpdateData(false);
  if (!out.empty()) reply.SendFrame(out);
}

void CDownloadSession::EndSession() {
  m_nRomState = kStateIdle;
  m_nBllState = kStateIdle;
  ClearModemLink();
  m_pRomFile.Reset();
  m_pBllFile.Reset();
}

bool CDownloadSession::AbandonTransfer() {
  const bool running = TransferRunning();
  m_pRomFile.Reset();
  m_pBllFile.Reset();
  if (running) {
    EnableControls(true);
    ProgressSetPos(0);
    OnSessionEnded(SessionEnd::Abandoned);
  }
  return running;
}

namespace {
bool BuildPacket(FrameFamily family, int fd, int packetNo, int packetCount, int blockSize,
                 int fileSize, Frame& out) {
  if (packetNo >= packetCount) {
    out = family == FrameFamily::Rom ? RomEndFrame() : BllEndFrame(packetCount);
    return false;
  }
  const std::int64_t offset = static_cast<std::int64_t>(packetNo) * blockSize;
  const auto len =
      static_cast<std::size_t>(std::clamp<std::int64_t>(fileSize - offset, 0, blockSize));
  // The block is read straight into the frame that carries it; a frame reused
  // from block to block keeps its memory.
  out.resize(len + kDataFrameOverhead);
  ReadBlock(fd, offset, std::span<std::uint8_t>(out.data() + kDataOffset, len));
  SealDataFrame(family, packetNo, out);
  return true;
}
}  // namespace

bool CDownloadSession::BuildRomPacket(Frame& out) {
  return BuildPacket(FrameFamily::Rom, m_pRomFile.Get(), m_nPacketNo, m_nPacketCount, m_nBlockSize,
                     m_nFileSize, out);
}

bool CDownloadSession::BuildBllPacket(Frame& out) {
  return BuildPacket(FrameFamily::Bll, m_pBllFile.Get(), m_nPacketNo, m_nPacketCount, m_nBlockSize,
                     m_nFileSize, out);
}

void CDownloadSession::ShowPercentage() {
  // An image of no blocks is complete from the start.
  const std::int64_t percent =
      m_nPacketCount > 0 ? static_cast<std::int64_t>(m_nPacketNo) * 100 / m_nPacketCount : 100;
  // Built in place: the line keeps its memory from block to block.
  std::array<char, 24> digits{};
  const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), percent).ptr;
  m_strStatus.assign(m_strFileName);
  m_strStatus.append("  ");
  m_strStatus.append(digits.data(), end);
  m_strStatus.append("% downloaded...");
}

void CDownloadSession::FinishTransfer(SessionEnd why) {
  if (!TransferRunning()) return;
  EndSession();
  EnableControls(true);
  ProgressSetPos(0);
  OnSessionEnded(why);
}
