// The simulated terminal (and answering modem): runs ROM and BLL downloads
// against a loader over any transport and checks every reply byte for byte.
//
// Typical use in a test:
//   std::string error;
//   auto line = termsim::ConnectTcp("127.0.0.1", port, termsim::Millis(2000), error);
//   termsim::DownloadOptions opt;
//   opt.family = termsim::Family::Bll;
//   opt.bllForm = termsim::BllForm::B;  opt.bllDigits = "001";
//   opt.expectedFile = dir + "/MCA001.bll";
//   termsim::Result r = termsim::RunDownload(*line, opt);
//   EXPECT_TRUE(r.ok) << r.error;
//
// Each frame goes out in one write, and the next frame only after the whole
// reply has arrived (or, where no reply is due, after a quiet time): the loader
// reads one frame per TCP receive, and on serial a burst ends at an empty read.
#pragma once

#include "Frames.h"
#include "Transport.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace termsim {

/// What the terminal asks for, and which faults it plays on purpose.
struct DownloadOptions {
  Family family = Family::Rom;
  Bytes romSelector = {'0'};       // ROM: selector bytes (see RomSelectorForName)
  BllForm bllForm = BllForm::Mca;  // BLL: kind of request
  std::string bllDigits = "001";   // BLL: the three name bytes
  std::string expectedFile;        // local copy of the file the loader must send
  bool expectMissing = false;      // the loader cannot open the file: expect its reject
  std::string outputFile;          // the received image is written here ("" = not written)
  bool modemLink = false;          // loader in modem mode: ROM blocks of 1024 bytes
  int nakBlock = -1;               // answer this block once with NAK; it must come again unchanged
  int badLrcBlock = -1;  // after this block, first a "next" with a broken LRC (reject expected)
  bool badLrcRequest =
      false;  // first a request with a broken LRC (reject expected, session stays idle)
  int terminalErrorBlock = -1;  // after this block, a terminal error instead; no reply, run ends
  int doneBlock = -1;           // ROM: after this block, "done" (0x06); no reply, run ends
  bool doneAfterEnd = false;    // ROM: "done" after the end frame; must get no reply
  Millis replyTimeout{5000};    // longest wait for a whole reply
  Millis quietTime{300};        // how long "no reply" is watched for
  Millis frameGap{0};           // extra pause before each frame (slow real lines)
  Millis splitGap{0};           // > 0: each frame is written in two halves this far apart
};

/// Outcome of a run. On failure, error says what differed or timed out, and where.
struct Result {
  bool ok = false;
  std::string error;
  int blocks = 0;                 // data frames received, resends included
  double blocksPerSecond = 0;     // data frames / (begin sent .. last reply received)
  double medianTurnaroundMs = 0;  // per data frame: terminal's last byte sent -> reply's last byte
  std::size_t receivedBytes = 0;  // image bytes received (each block once)
  std::string fileName;           // the file the request names
};

/// A ROM download of the image name (a name RomSelectorForName takes), whose bytes
/// must be those of expectedFile.
DownloadOptions RomDownload(std::string_view name, std::string expectedFile);
/// A BLL download asked for with form and the three name digits, whose bytes must
/// be those of expectedFile.
DownloadOptions BllDownload(BllForm form, std::string digits, std::string expectedFile);

/// Runs a ROM download (request, start reply, begin, blocks, end) with the options' faults.
Result RunRomDownload(ITransport& line, const DownloadOptions& options);
/// Runs a BLL download ("MCA", "B" or "C" request) with the options' faults.
Result RunBllDownload(ITransport& line, const DownloadOptions& options);
/// RunRomDownload or RunBllDownload by options.family.
Result RunDownload(ITransport& line, const DownloadOptions& options);

/// The answering modem's part.
struct ModemOptions {
  std::string initCommand = "AT&F&C1&D2E1&K3";  // expected from the loader, followed by CR
  bool expectInit = true;                       // false: the port is already open, skip it
  std::string connectText = "CONNECT 2400";
  bool sendOk = false;        // answer the init with CR LF "OK" CR LF (no reply due)
  int rings = 1;              // RINGs before CONNECT; each must get "ATA" CR
  Millis initTimeout{30000};  // the loader may open the port late
  Millis replyTimeout{5000};
  Millis quietTime{300};  // how long "no reply" to OK is watched for
};

/// Plays the modem up to the link: expects the init command + CR (then, with
/// sendOk, sends CR LF "OK" CR LF and expects silence), sends CR LF "RING" CR LF
/// and expects "ATA" CR (rings times), sends CR LF connectText CR LF, expects 05 05 05.
Result RunModemAnswer(ITransport& line, const ModemOptions& options);
/// After a download the link counts as down again: CR LF "RING" CR LF must get "ATA" CR.
Result ExpectModemTextAgain(ITransport& line, const ModemOptions& options);

/// Sends one frame exactly as given and checks the answer: exactly `expected`,
/// or, when expected is empty, nothing at all within quietTime.
Result ExchangeFrame(ITransport& line, const Bytes& frame, const Bytes& expected,
                     Millis replyTimeout = Millis(5000), Millis quietTime = Millis(300));

/// A name for a reply the loader might send ("ROM reject 1111", "BLL data block 3"), for messages.
std::string DescribeFrame(std::span<const std::uint8_t> frame);

}  // namespace termsim
