// Download and modem dialogues of the simulated terminal, with byte-exact checks.
#include "Terminal.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

namespace termsim {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxBlocks = 65535;  // N and P are 16-bit fields
constexpr Millis kMismatchGrace{100};      // collect the rest of a wrong reply for the message

double MsBetween(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

std::string FieldAt(std::span<const std::uint8_t> frame, std::size_t offset) {
  const std::size_t n = frame.size();
  if (offset == 0) return "start byte";
  if (offset == 1) return "command";
  if (n >= 2 && offset == n - 1) return "LRC";
  if (n >= 2 && offset == n - 2) return "trailer";
  if (n > 1 && frame[1] == '4' && n >= 12) {  // data frame
    if (offset <= 3) return "block number";
    if (offset <= 5) return "data length";
    if (offset <= 7) return "block checksum";
    if (offset == 8 || offset == n - 3) return "0x1C";
    return "data byte " + std::to_string(offset - 9);
  }
  return "byte " + std::to_string(offset);
}

/// One terminal-to-loader conversation on a line: send, then check the whole reply.
class Exchange {
 public:
  Exchange(ITransport& line, Millis replyTimeout, Millis quietTime, Millis frameGap,
           Millis splitGap = Millis(0))
      : m_line(line),
        m_replyTimeout(replyTimeout),
        m_quietTime(quietTime),
        m_frameGap(frameGap),
        m_splitGap(splitGap) {}

  /// Sends frame and expects exactly `expected` back; turnaroundMs gets last byte
  /// sent -> last byte received.
  bool Ask(const Bytes& frame, const Bytes& expected, const std::string& what,
           double* turnaroundMs = nullptr) {
    if (!SendFrame(frame, what)) return false;
    const Clock::time_point sent = Clock::now();
    if (!Expect(expected, what, m_replyTimeout)) return false;
    if (turnaroundMs != nullptr) *turnaroundMs = MsBetween(sent, m_lastByteAt);
    return true;
  }

  /// Sends frame and expects no reply at all within the quiet time.
  bool Tell(const Bytes& frame, const std::string& what) {
    return SendFrame(frame, what) && ExpectSilence("after " + what);
  }

  /// Waits for exactly `expected` (nothing sent first).
  bool Expect(const Bytes& expected, const std::string& what, Millis timeout) {
    Bytes got;
    const Clock::time_point deadline = Clock::now() + timeout;
    while (got.size() < expected.size()) {
      // Always look at least once, so a zero time-out still takes what has arrived.
      const auto left =
          std::max(Millis(0), std::chrono::duration_cast<Millis>(deadline - Clock::now()));
      const ReadStatus status = m_line.Receive(got, left);
      if (status == ReadStatus::Timeout) return Fail(TimeoutText(what, expected, got, timeout));
      if (status != ReadStatus::Data) {
        return Fail("while waiting for " + what + ": " + m_line.LastError());
      }
      m_lastByteAt = Clock::now();
      const std::size_t common = std::min(got.size(), expected.size());
      const auto diff = std::mismatch(
          got.begin(), got.begin() + static_cast<std::ptrdiff_t>(common), expected.begin());
      if (diff.first != got.begin() + static_cast<std::ptrdiff_t>(common)) {
        const auto at = static_cast<std::size_t>(diff.first - got.begin());
        m_line.Receive(got, kMismatchGrace);
        return Fail(MismatchText(what, expected, got, at));
      }
    }
    if (got.size() > expected.size()) {
      return Fail(what + ": " + std::to_string(got.size() - expected.size()) +
                  " extra bytes after the expected " + std::to_string(expected.size()) + ": " +
                  Hex(std::span(got).subspan(expected.size())));
    }
    return true;
  }

  /// Checks that nothing arrives for the quiet time.
  bool ExpectSilence(const std::string& when) {
    Bytes got;
    const ReadStatus status = m_line.Receive(got, m_quietTime);
    if (status == ReadStatus::Timeout) return true;
    if (status == ReadStatus::Data) {
      m_line.Receive(got, kMismatchGrace);
      return Fail("unexpected reply " + when + ": " + DescribeFrame(got) + ": " + Hex(got));
    }
    return Fail(when + ": " + m_line.LastError());
  }

  const std::string& Error() const { return m_error; }
  Clock::time_point LastByteAt() const { return m_lastByteAt; }

 private:
  bool SendFrame(const Bytes& frame, const std::string& what) {
    if (m_frameGap.count() > 0) std::this_thread::sleep_for(m_frameGap);
    // Bytes nobody asked for would otherwise be taken for the next reply.
    Bytes stray;
    if (m_line.Receive(stray, Millis(0)) == ReadStatus::Data) {
      return Fail("unexpected bytes before " + what + ": " + DescribeFrame(stray) + ": " +
                  Hex(stray));
    }
    if (m_splitGap.count() > 0 && frame.size() > 1) {
      // Two halves with a pause between, as a USB adapter delivers a frame in chunks.
      const std::span<const std::uint8_t> all(frame);
      const std::size_t half = frame.size() / 2;
      if (!m_line.Send(all.first(half)))
        return Fail("cannot send " + what + ": " + m_line.LastError());
      std::this_thread::sleep_for(m_splitGap);
      if (!m_line.Send(all.subspan(half)))
        return Fail("cannot send " + what + ": " + m_line.LastError());
      return true;
    }
    if (!m_line.Send(frame)) return Fail("cannot send " + what + ": " + m_line.LastError());
    return true;
  }

  static std::string TimeoutText(const std::string& what, const Bytes& expected, const Bytes& got,
                                 Millis timeout) {
    std::string text = "timed out after " + std::to_string(timeout.count()) + " ms waiting for " +
                       what + " (" + std::to_string(expected.size()) + " bytes)";
    text += got.empty() ? ": nothing received"
                        : ": got " + std::to_string(got.size()) + " bytes: " + Hex(got);
    return text;
  }

  static std::string MismatchText(const std::string& what, const Bytes& expected, const Bytes& got,
                                  std::size_t at) {
    const auto byteHex = [](std::span<const std::uint8_t> b, std::size_t i) {
      return i < b.size() ? Hex(b.subspan(i, 1)) : std::string("(none)");
    };
    return what + ": reply differs at offset " + std::to_string(at) + " (" + FieldAt(expected, at) +
           "): got " + byteHex(got, at) + ", expected " + byteHex(expected, at) + "; got " +
           DescribeFrame(got) + ": " + Hex(got) + "; expected " + Hex(expected);
  }

  bool Fail(std::string text) {
    m_error = std::move(text);
    return false;
  }

  ITransport& m_line;
  Millis m_replyTimeout, m_quietTime, m_frameGap, m_splitGap;
  Clock::time_point m_lastByteAt{};
  std::string m_error;
};

struct FileCloser {
  void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool ReadWholeFile(const std::string& path, Bytes& out, std::string& error) {
  FilePtr f(std::fopen(path.c_str(), "rb"));
  if (!f) {
    error = "cannot read the expected file " + path;
    return false;
  }
  std::uint8_t chunk[65536];
  std::size_t n = 0;
  while ((n = std::fread(chunk, 1, sizeof chunk, f.get())) > 0)
    out.insert(out.end(), chunk, chunk + n);
  if (std::ferror(f.get()) != 0) {
    error = "error reading the expected file " + path;
    return false;
  }
  return true;
}

bool WriteWholeFile(const std::string& path, std::span<const std::uint8_t> data,
                    std::string& error) {
  FilePtr f(std::fopen(path.c_str(), "wb"));
  const bool ok = f && std::fwrite(data.data(), 1, data.size(), f.get()) == data.size() &&
                  std::fclose(f.release()) == 0;
  if (!ok) error = "cannot write the received image to " + path;
  return ok;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t mid = values.size() / 2;
  return values.size() % 2 != 0 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

/// The frames of one family, so one dialogue serves ROM and BLL.
struct FamilyFrames {
  Family family;
  Bytes request, startReply, rejectBad, rejectMissing;
  Bytes (*next)(int, std::uint8_t);
  Bytes begin, terminalError, endReply;
  int blockSize;
};

Result RunDialogue(ITransport& line, const DownloadOptions& options, const FamilyFrames& f,
                   const Bytes& image, Result result) {
  Exchange x(line, options.replyTimeout, options.quietTime, options.frameGap, options.splitGap);
  const auto fail = [&](std::string prefix = {}) {
    result.ok = false;
    result.error = prefix + x.Error();
    return result;
  };
  const char* family = f.family == Family::Rom ? "ROM" : "BLL";
  if (options.badLrcRequest &&
      !x.Ask(WithBadLrc(f.request), f.rejectBad,
             std::string(family) + " reject of a request with a broken LRC")) {
    return fail();
  }
  const std::size_t n = BlockCount(image.size(), static_cast<std::size_t>(f.blockSize));
  if (options.expectMissing || n > kMaxBlocks) {
    if (!x.Ask(f.request, f.rejectMissing,
               std::string(family) + " reject of the request for " + result.fileName)) {
      return fail();
    }
    if (!x.ExpectSilence("after the reject")) return fail();
    result.ok = true;
    return result;
  }
  if (!x.Ask(f.request, f.startReply, "start reply for " + result.fileName)) return fail();

  std::vector<double> turnarounds;
  Bytes received;
  const auto dataFrame = [&](int p) { return DataReply(f.family, image, f.blockSize, p); };
  const auto blockName = [&](int p) {
    return "block " + std::to_string(p) + " of " + std::to_string(n);
  };
  const Clock::time_point began = Clock::now();
  double turnaround = 0;
  const Bytes firstReply = n == 0 ? f.endReply : dataFrame(0);
  if (!x.Ask(f.begin, firstReply, n == 0 ? "end frame (empty image)" : blockName(0), &turnaround)) {
    return fail();
  }
  bool nakDone = false, badLrcDone = false, ended = n == 0;
  if (n > 0) {
    turnarounds.push_back(turnaround);
    ++result.blocks;
  }
  int p = 0;
  while (!ended) {
    const std::size_t offset = static_cast<std::size_t>(p) * static_cast<std::size_t>(f.blockSize);
    if (received.size() == offset) {
      const std::size_t len =
          std::min(static_cast<std::size_t>(f.blockSize), image.size() - offset);
      received.insert(received.end(), image.begin() + static_cast<std::ptrdiff_t>(offset),
                      image.begin() + static_cast<std::ptrdiff_t>(offset + len));
    }
    if (p == options.terminalErrorBlock) {
      if (!x.Tell(f.terminalError, "terminal error after " + blockName(p))) return fail();
      break;
    }
    if (f.family == Family::Rom && p == options.doneBlock) {
      if (!x.Tell(RomDone(), "done after " + blockName(p))) return fail();
      break;
    }
    if (p == options.badLrcBlock && !badLrcDone) {
      badLrcDone = true;
      if (!x.Ask(WithBadLrc(f.next(p, kAck)), f.rejectBad,
                 std::string(family) + " reject of a \"next\" with a broken LRC after " +
                     blockName(p))) {
        return fail();
      }
    }
    if (p == options.nakBlock && !nakDone) {
      nakDone = true;
      if (!x.Ask(f.next(p, kNak), dataFrame(p), "resend of " + blockName(p), &turnaround)) {
        return fail();
      }
      turnarounds.push_back(turnaround);
      ++result.blocks;
      continue;
    }
    const int nextNo = p + 1;
    const bool last = static_cast<std::size_t>(nextNo) == n;
    if (!x.Ask(f.next(p, kAck), last ? f.endReply : dataFrame(nextNo),
               last ? "end frame after " + blockName(p) : blockName(nextNo), &turnaround)) {
      return fail();
    }
    if (last) {
      ended = true;
    } else {
      turnarounds.push_back(turnaround);
      ++result.blocks;
    }
    p = nextNo;
  }
  const double seconds = MsBetween(began, x.LastByteAt()) / 1000.0;
  if (result.blocks > 0 && seconds > 0) result.blocksPerSecond = result.blocks / seconds;
  result.medianTurnaroundMs = Median(turnarounds);
  result.receivedBytes = received.size();
  if (ended && options.doneAfterEnd && f.family == Family::Rom &&
      !x.Tell(RomDone(), "done after the end frame")) {
    return fail();
  }
  if (ended && !x.ExpectSilence("after the end frame")) return fail();
  if (!options.outputFile.empty() && !WriteWholeFile(options.outputFile, received, result.error)) {
    return result;
  }
  result.ok = true;
  return result;
}

bool LoadImage(const DownloadOptions& options, Bytes& image, Result& result) {
  if (options.expectMissing) return true;
  if (options.expectedFile.empty()) {
    result.error = "no expected file given (the local copy of what the loader sends)";
    return false;
  }
  return ReadWholeFile(options.expectedFile, image, result.error);
}

}  // namespace

Result RunRomDownload(ITransport& line, const DownloadOptions& options) {
  Result result;
  const std::optional<std::string> name = RomFileNameForSelector(options.romSelector);
  result.fileName = name.value_or("(none)");
  Bytes image;
  if (!LoadImage(options, image, result)) return result;
  const int blockSize = options.modemLink ? kRomModemBlockSize : kRomBlockSize;
  FamilyFrames f{Family::Rom,
                 RomRequest(options.romSelector),
                 RomStartReply(image, blockSize),
                 RomRejectReply(false),
                 RomRejectReply(true),
                 &RomNext,
                 RomBegin(),
                 RomTerminalError(),
                 RomEndReply(),
                 blockSize};
  if (!name) {
    // The loader refuses a selector whose 0x1C is missing with the "1111" reject.
    Exchange x(line, options.replyTimeout, options.quietTime, options.frameGap, options.splitGap);
    result.ok = x.Ask(f.request, f.rejectBad, "ROM reject of a selector without 0x1C");
    result.error = x.Error();
    return result;
  }
  return RunDialogue(line, options, f, image, result);
}

Result RunBllDownload(ITransport& line, const DownloadOptions& options) {
  Result result;
  result.fileName = BllFileName(options.bllForm, options.bllDigits);
  Bytes image;
  if (!LoadImage(options, image, result)) return result;
  const int blockSize = BllBlockSize(options.bllForm);
  const std::size_t n = BlockCount(image.size(), static_cast<std::size_t>(blockSize));
  FamilyFrames f{Family::Bll,
                 BllRequest(options.bllForm, options.bllDigits),
                 BllStartReply(image.size(), blockSize),
                 BllRejectReply(),
                 BllRejectReply(),
                 &BllNext,
                 BllBegin(),
                 BllTerminalError(),
                 BllEndReply(n),
                 blockSize};
  return RunDialogue(line, options, f, image, result);
}

DownloadOptions RomDownload(std::string_view name, std::string expectedFile) {
  DownloadOptions opt;
  opt.family = Family::Rom;
  opt.romSelector = RomSelectorForName(name).value_or(Bytes{});
  opt.expectedFile = std::move(expectedFile);
  return opt;
}

DownloadOptions BllDownload(BllForm form, std::string digits, std::string expectedFile) {
  DownloadOptions opt;
  opt.family = Family::Bll;
  opt.bllForm = form;
  opt.bllDigits = std::move(digits);
  opt.expectedFile = std::move(expectedFile);
  return opt;
}

Result RunDownload(ITransport& line, const DownloadOptions& options) {
  return options.family == Family::Rom ? RunRomDownload(line, options)
                                       : RunBllDownload(line, options);
}

Result RunModemAnswer(ITransport& line, const ModemOptions& options) {
  Result result;
  Exchange x(line, options.replyTimeout, options.quietTime, Millis(0));
  const auto text = [](std::string_view s) { return Bytes(s.begin(), s.end()); };
  bool ok =
      !options.expectInit || x.Expect(text(options.initCommand + "\r"),
                                      "the modem initialisation command", options.initTimeout);
  ok = ok && (!options.sendOk || x.Tell(text("\r\nOK\r\n"), "the modem's OK"));
  for (int ring = 1; ok && ring <= options.rings; ++ring) {
    ok = x.Ask(text("\r\nRING\r\n"), text("ATA\r"), "ATA after RING " + std::to_string(ring));
  }
  ok = ok && x.Ask(text("\r\n" + options.connectText + "\r\n"), Bytes{kEnq, kEnq, kEnq},
                   "ENQ ENQ ENQ after " + options.connectText);
  result.ok = ok;
  result.error = x.Error();
  return result;
}

Result ExpectModemTextAgain(ITransport& line, const ModemOptions& options) {
  Result result;
  Exchange x(line, options.replyTimeout, Millis(0), Millis(0));
  const std::string_view ring = "\r\nRING\r\n";
  const std::string_view ata = "ATA\r";
  result.ok = x.Ask(Bytes(ring.begin(), ring.end()), Bytes(ata.begin(), ata.end()),
                    "ATA after RING once the download has ended");
  result.error = x.Error();
  return result;
}

Result ExchangeFrame(ITransport& line, const Bytes& frame, const Bytes& expected,
                     Millis replyTimeout, Millis quietTime) {
  Result result;
  Exchange x(line, replyTimeout, quietTime, Millis(0));
  const std::string what = "frame " + Hex(frame);
  double turnaround = 0;
  result.ok = expected.empty() ? x.Tell(frame, what)
                               : x.Ask(frame, expected, "reply to " + what, &turnaround) &&
                                     x.ExpectSilence("after the reply to " + what);
  result.medianTurnaroundMs = turnaround;
  result.error = x.Error();
  return result;
}

std::string DescribeFrame(std::span<const std::uint8_t> frame) {
  if (frame.size() < 2) return "a fragment";
  const std::uint8_t cmd = frame[1];
  const bool rom = frame[0] == kRomStart;
  if (!rom && frame[0] != kBllStart) return "text or bytes that are no frame";
  const std::string family = rom ? "ROM " : "BLL ";
  if (cmd == '2') return family + "start reply";
  if (cmd == '4') {
    const int no = frame.size() >= 4 ? (frame[2] << 8) | frame[3] : -1;
    return family + "data frame of block " + std::to_string(no);
  }
  if (rom && cmd == '5') return "ROM end frame";
  if (rom && cmd == '6' && frame.size() >= 3) {
    return std::string("ROM reject ") + (frame[2] == '0' ? "0000 (file cannot be opened)" : "1111");
  }
  if (!rom && cmd == '6') return "BLL end frame";
  if (!rom && cmd == '7') return "BLL reject";
  if (frame.size() == 8 && frame[1] == 0x20) return "trigger frame";
  return family + "frame with command " + Hex(frame.subspan(1, 1));
}

}  // namespace termsim
