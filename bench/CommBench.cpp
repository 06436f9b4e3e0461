// Download throughput of Tarvix --headless against the terminal simulator:
// a 1 MiB ROM image over a pseudo-terminal (blocks/s and the median time from
// the terminal's last byte to the reply's last byte) and a 64 KiB BLL file over
// TCP with TCPPACE=0 (blocks/s).
#include "support/ChildProcess.h"
#include "support/TempDir.h"

#include "Terminal.h"
#include "Transport.h"

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {
void WriteFile(const fs::path& path, std::size_t size) {
  std::vector<char> data(size);
  for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 131 + 7) ^ (i >> 9));
  std::ofstream(path, std::ios::binary).write(data.data(), static_cast<std::streamsize>(size));
}
}  // namespace

int main(int argc, char** argv) {
  int tcpPort = 17350;
  if (argc == 3 && std::string(argv[1]) == "--tcp-port")
    tcpPort = std::stoi(argv[2]);
  else if (argc != 1) {
    std::fprintf(stderr, "Usage: tarvix_comm_bench [--tcp-port N]   (default 17350)\n");
    return 2;
  }
  const testsupport::TempDir temp("tarvix-bench");
  const fs::path dir = temp.Path();
  WriteFile(dir / "TRM-1.jd0", 1024 * 1024);
  WriteFile(dir / "MCA064.bll", 64 * 1024);

  std::string error;
  auto pty = termsim::PtyTransport::Create(error);
  if (!pty) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::ofstream(dir / "Romvale.cfg", std::ios::binary)
      << "[Location]\r\nROMFILE=" << dir.string() << "\r\nBLLFILE=" << dir.string()
      << "\r\n[Communication]\r\nPORT=COM1\r\nTYPE=RS232\r\nBAUD=115200bps\r\nTCPPACE=0\r\n"
      << "[Ports]\r\nCOM1=" << pty->SlavePath() << "\r\n";

  int rc = 0;
  {
    ChildProcess tarvix(TARVIX_EXE, dir.string(),
                        {"--headless", "--tcp-port", std::to_string(tcpPort)});
    if (!tarvix.WaitForOut("port: ", true)) {
      std::fprintf(stderr, "Tarvix did not start\n");
      return 1;
    }
    termsim::DownloadOptions rom;
    rom.family = termsim::Family::Rom;
    rom.romSelector = *termsim::RomSelectorForName("TRM-1.jd0");
    rom.expectedFile = (dir / "TRM-1.jd0").string();
    const termsim::Result r = termsim::RunDownload(*pty, rom);
    if (r.ok) {
      std::printf(
          "serial (pty, 115200 bit/s), ROM 1 MiB: %d blocks, %.1f blocks/s, median turnaround %.2f "
          "ms "
          "(target: within 5 ms of 30 ms)\n",
          r.blocks, r.blocksPerSecond, r.medianTurnaroundMs);
    } else {
      std::printf("serial ROM download failed: %s\n", r.error.c_str());
      rc = 1;
    }

    auto tcp = termsim::ConnectTcp("127.0.0.1", tcpPort, termsim::Millis(5000), error);
    if (!tcp) {
      std::printf("tcp connect failed: %s\n", error.c_str());
      rc = 1;
    } else {
      termsim::DownloadOptions bll;
      bll.family = termsim::Family::Bll;
      bll.bllForm = termsim::BllForm::Mca;
      bll.bllDigits = "064";
      bll.expectedFile = (dir / "MCA064.bll").string();
      const termsim::Result b = termsim::RunDownload(*tcp, bll);
      if (b.ok) {
        std::printf(
            "tcp (127.0.0.1, TCPPACE=0), BLL 64 KiB: %d blocks, %.1f blocks/s, median turnaround "
            "%.3f ms "
            "(target: >= 500 blocks/s)\n",
            b.blocks, b.blocksPerSecond, b.medianTurnaroundMs);
      } else {
        std::printf("tcp BLL download failed: %s\n", b.error.c_str());
        rc = 1;
      }
    }
    if (tarvix.Stop(SIGTERM) != 0) rc = 1;
  }
  return rc;
}
