// One ROM or BLL download: start replies, block frames, resends, endings.
#include "download/Download.h"

#include "download/FileSelector.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <utility>

namespace {
enum class ImageOpen { Ok, Unopenable, TooLarge };

// Opens an image and measures it; too many blocks for the 16-bit fields is refused.
ImageOpen OpenAndMeasure(UniqueFd& file, const std::string& dir, const std::string& name,
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

// ROM replies always leave through the serial line.
class Download::SerialReply : public IFrameSink {
 public:
  explicit SerialReply(IDownloadEvents& events) : m_events(events) {}
  void SendFrame(std::span<const std::uint8_t> frame) override { m_events.SerialWrite(frame); }

 private:
  IDownloadEvents& m_events;
};

Download::Download(IDownloadEvents& events, std::string romDir, std::string bllDir)
    : m_events(events), m_romDir(std::move(romDir)), m_bllDir(std::move(bllDir)) {}

void Download::StartRom(std::span<const std::uint8_t> frame) {
  m_rom = true;
  m_blockSize = m_events.ModemMode() ? kRomModemBlockSize : kRomBlockSize;
  const auto name = LrcMatches(frame) ? RomRequestName(frame) : std::nullopt;
  if (!name) {
    m_events.StatusChanged(*this);
    m_events.FrameRejected(*this);
    m_events.SerialWrite(RomRejectFrame(RomReject::BadFrame));
    return;
  }
  m_fileName = *name;
  m_blocks.Forget();
  m_romFd.Reset();
  const ImageOpen opened =
      OpenAndMeasure(m_romFd, m_romDir, *name, m_blockSize, m_fileSize, m_packetCount, m_refusal);
  if (opened != ImageOpen::Ok) {
    m_romState = kStateIdle;
    // The terminal sees the same "0000" for both; only the status line tells them apart.
    if (opened == ImageOpen::TooLarge) m_status = kStatusTooLarge + m_fileName;
    m_events.StatusChanged(*this);
    m_events.FrameRejected(*this);
    m_events.SerialWrite(RomRejectFrame(RomReject::FileNotOpened));
    m_events.Ended(*this, SessionEnd::Refused);
    return;
  }
  // The range is not cut to 16 bits: 65535 blocks would wrap it to 0..0.
  m_events.ProgressRange(*this, 0, m_packetCount + 1);
  m_packetNo = 0;
  m_romState = kStateActive;
  m_events.SerialWrite(RomStartReply(m_packetCount, ImageChecksum(m_romFd.Get(), m_fileSize)));
  m_status = m_fileName + kStatusStarted;
  m_events.ControlsChanged(*this, false);
  m_events.Started(*this);
  m_events.StatusChanged(*this);
}

void Download::ContinueRom(std::span<const std::uint8_t> frame) {
  SerialReply serial(m_events);
  ContinueTransfer(FrameFamily::Rom, serial, frame);
}

void Download::StartBll(IFrameSink& reply, std::span<const std::uint8_t> frame) {
  m_rom = false;
  const auto refuse = [&](std::string status) {
    m_events.StatusChanged(*this);
    m_events.FrameRejected(*this);
    reply.SendFrame(BllRejectFrame());
    m_status = std::move(status);
    m_events.StatusChanged(*this);
  };
  if (!LrcMatches(frame)) return refuse(kStatusLrcError);
  const auto request = BllRequestFile(frame);
  if (!request) return refuse(kStatusLengthError);

  m_fileName = request->name;
  m_blockSize = request->blockSize;
  m_blocks.Forget();
  m_bllFd.Reset();
  const ImageOpen opened = OpenAndMeasure(m_bllFd, m_bllDir, request->name, m_blockSize, m_fileSize,
                                          m_packetCount, m_refusal);
  if (opened != ImageOpen::Ok) {
    refuse((opened == ImageOpen::TooLarge ? kStatusTooLarge : kStatusOpenError) + m_fileName);
    m_events.Ended(*this, SessionEnd::Refused);
    return;
  }

  m_events.ProgressRange(*this, 0, m_packetCount + 1);
  m_packetNo = 0;
  m_bllState = kStateActive;
  reply.SendFrame(BllStartReply(m_packetCount, m_blockSize));
  m_status = m_fileName + kStatusStarted;
  m_events.ControlsChanged(*this, false);
  m_events.Started(*this);
  m_events.StatusChanged(*this);
}

void Download::ContinueBll(IFrameSink& reply, std::span<const std::uint8_t> frame) {
  ContinueTransfer(FrameFamily::Bll, reply, frame);
}

void Download::ContinueTransfer(FrameFamily family, IFrameSink& reply,
                                std::span<const std::uint8_t> frame) {
  const bool rom = family == FrameFamily::Rom;
  if (!LrcMatches(frame)) {
    m_events.StatusChanged(*this);
    m_events.FrameRejected(*this);
    if (rom) {
      // The ROM reject leaves the status line as it is.
      reply.SendFrame(RomRejectFrame(RomReject::BadFrame));
      return;
    }
    reply.SendFrame(BllRejectFrame());
    m_status = kStatusLrcError;
    m_events.StatusChanged(*this);
    return;
  }
  // The two families differ only in their command bytes; ROM alone has "done".
  const std::uint8_t next = rom ? kCmdRomNext : kCmdBllNext;
  const std::uint8_t termError = rom ? kCmdRomTermError : kCmdBllTermError;
  const auto build = [&](Frame& out) { return BuildPacket(family, out); };
  const std::uint8_t command = ByteAt(frame, 1);
  // The reply frame keeps its size from block to block: building the next block
  // overwrites it without clearing and refilling it first.
  Frame& out = m_reply;
  bool replies = false;
  if (command == kCmdBegin) {
    m_packetNo = 0;
    replies = true;
    const bool more = build(out);
    m_events.ProgressStep(*this);
    // No blocks at all: the end frame goes out at once.
    if (!more) Finish(SessionEnd::Completed);
  } else if (command == next) {
    if (ByteAt(frame, kVerdictOffset) == kAck) {
      ++m_packetNo;
      m_events.ProgressStep(*this);
    }
    replies = true;
    if (!build(out)) Finish(SessionEnd::Completed);
  } else if (command == termError || (rom && command == kCmdRomDone)) {
    const bool done = command != termError;
    m_status = done ? kStatusRomDone : kStatusTermError;
    Finish(done ? SessionEnd::TerminalDone : SessionEnd::TerminalError);
    m_events.StatusChanged(*this);
    return;
  }
  // Any other command has no reply: only the progress text is refreshed.
  ShowPercentage();
  m_events.StatusChanged(*this);
  if (replies) reply.SendFrame(out);
}

void Download::CloseFiles() {
  m_blocks.Forget();
  m_romFd.Reset();
  m_bllFd.Reset();
}

bool Download::Abandon() {
  const bool running = Running();
  m_romState = kStateIdle;
  m_bllState = kStateIdle;
  CloseFiles();
  if (running) {
    m_events.ControlsChanged(*this, true);
    m_events.ProgressPos(*this, 0);
    m_events.Ended(*this, SessionEnd::Abandoned);
  }
  return running;
}

namespace {
bool BuildBlockFrame(FrameFamily family, int fd, int packetNo, int packetCount, int blockSize,
                     int fileSize, BlockReader& blocks, Frame& out) {
  if (packetNo >= packetCount) {
    out = family == FrameFamily::Rom ? RomEndFrame() : BllEndFrame(packetCount);
    return false;
  }
  const std::int64_t offset = static_cast<std::int64_t>(packetNo) * blockSize;
  const auto len =
      static_cast<std::size_t>(std::clamp<std::int64_t>(fileSize - offset, 0, blockSize));
  // The block goes straight into the frame that carries it, usually from the
  // window read ahead; a frame reused from block to block keeps its memory.
  out.resize(len + kDataFrameOverhead);
  blocks.Read(fd, offset, blockSize, fileSize,
              std::span<std::uint8_t>(out.data() + kDataOffset, len));
  SealDataFrame(family, packetNo, out);
  return true;
}
}  // namespace

bool Download::BuildPacket(FrameFamily family, Frame& out) {
  const int fd = family == FrameFamily::Rom ? m_romFd.Get() : m_bllFd.Get();
  return BuildBlockFrame(family, fd, m_packetNo, m_packetCount, m_blockSize, m_fileSize, m_blocks,
                         out);
}

void Download::ShowPercentage() {
  // An image of no blocks is complete from the start.
  const std::int64_t percent =
      m_packetCount > 0 ? static_cast<std::int64_t>(m_packetNo) * 100 / m_packetCount : 100;
  // Built in place: the line keeps its memory from block to block.
  std::array<char, 24> digits{};
  const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), percent).ptr;
  m_status.assign(m_fileName);
  m_status.append("  ");
  m_status.append(digits.data(), end);
  m_status.append("% downloaded...");
}

void Download::Finish(SessionEnd why) {
  if (!Running()) return;
  m_romState = kStateIdle;
  m_bllState = kStateIdle;
  m_events.ClearModemLink();
  CloseFiles();
  m_events.ControlsChanged(*this, true);
  m_events.ProgressPos(*this, 0);
  m_events.Ended(*this, why);
}
