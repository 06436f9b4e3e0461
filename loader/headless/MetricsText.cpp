// Prometheus text format of the counters.
#include "headless/MetricsText.h"

#include <algorithm>

namespace {

std::string LabelValue(std::string_view value) {
  std::string escaped;
  for (const char c : value) {
    if (c == '\\') {
      escaped += "\\\\";
    } else if (c == '"') {
      escaped += "\\\"";
    } else if (c == '\n') {
      escaped += "\\n";
    } else {
      escaped += c;
    }
  }
  return escaped;
}

void Family(std::string& text, std::string_view name, std::string_view type,
            std::string_view help) {
  text += "# HELP ";
  text += name;
  text += ' ';
  text += help;
  text += "\n# TYPE ";
  text += name;
  text += ' ';
  text += type;
  text += '\n';
}

void Sample(std::string& text, std::string_view name, std::string_view labels,
            std::uint64_t value) {
  text += name;
  text += labels;
  text += ' ';
  text += std::to_string(value);
  text += '\n';
}

}  // namespace

std::string FormatMetrics(const MetricsSnapshot& snapshot) {
  std::string text;
  Family(text, "tarvix_build_info", "gauge", "Tarvix's version; the value is always 1.");
  Sample(text, "tarvix_build_info", "{version=\"" + LabelValue(snapshot.version) + "\"}", 1);

  Family(text, "tarvix_downloads_total", "counter",
         "Downloads that ended, by channel, kind (rom, bll) and result (done, failed).");
  const DownloadTally& tally = snapshot.downloads;
  for (std::size_t c = 0; c < DownloadTally::kChannels.size(); ++c) {
    for (std::size_t k = 0; k < DownloadTally::kKinds.size(); ++k) {
      for (std::size_t r = 0; r < DownloadTally::kResults.size(); ++r) {
        const std::string labels = "{channel=\"" + std::string(DownloadTally::kChannels[c]) +
                                   "\",kind=\"" + std::string(DownloadTally::kKinds[k]) +
                                   "\",result=\"" + std::string(DownloadTally::kResults[r]) + "\"}";
        Sample(text, "tarvix_downloads_total", labels, tally.Count(c, k, r));
      }
    }
  }
  Family(text, "tarvix_bytes_sent_total", "counter",
         "Image bytes of the blocks terminals acknowledged, counted when a download ends.");
  Sample(text, "tarvix_bytes_sent_total", "", tally.BytesSent());

  Family(text, "tarvix_active_downloads", "gauge", "Downloads running now.");
  Sample(text, "tarvix_active_downloads", "",
         static_cast<std::uint64_t>(std::max(0, snapshot.activeDownloads)));
  Family(text, "tarvix_tcp_connections", "gauge", "TCP connections held now.");
  Sample(text, "tarvix_tcp_connections", "",
         static_cast<std::uint64_t>(std::max(0, snapshot.tcpConnections)));

  Family(text, "tarvix_serial_port_up", "gauge", "1 while the serial port is open, else 0.");
  for (const auto& [port, up] : snapshot.serialPorts) {
    Sample(text, "tarvix_serial_port_up", "{port=\"" + LabelValue(port) + "\"}", up ? 1 : 0);
  }
  if (!snapshot.lines.empty()) {
    Family(text, "tarvix_line_downloads_total", "counter",
           "Downloads that ended, by serial line, kind (rom, bll) and result (done, failed).");
    for (const LineMetrics& line : snapshot.lines) {
      for (std::size_t k = 0; k < DownloadTally::kKinds.size(); ++k) {
        for (std::size_t r = 0; r < DownloadTally::kResults.size(); ++r) {
          const std::string labels = "{line=\"" + LabelValue(line.name) + "\",kind=\"" +
                                     std::string(DownloadTally::kKinds[k]) + "\",result=\"" +
                                     std::string(DownloadTally::kResults[r]) + "\"}";
          Sample(text, "tarvix_line_downloads_total", labels, tally.LineCount(line.name, k, r));
        }
      }
    }
    Family(text, "tarvix_line_active_downloads", "gauge",
           "1 while a download runs for the serial line, else 0.");
    for (const LineMetrics& line : snapshot.lines) {
      Sample(text, "tarvix_line_active_downloads", "{line=\"" + LabelValue(line.name) + "\"}",
             line.running ? 1 : 0);
    }
  }
  Family(text, "tarvix_frames_rejected_total", "counter",
         "Frames from terminals answered with a reject frame.");
  Sample(text, "tarvix_frames_rejected_total", "", snapshot.framesRejected);
  Family(text, "tarvix_output_lines_dropped_total", "counter",
         "Console lines dropped because stdout or stderr was not read.");
  Sample(text, "tarvix_output_lines_dropped_total", "", snapshot.outputLinesDropped);
  return text;
}
