// Renders the loader's window and dialogs offscreen into PNG files, for the
// documentation: tarvix_window_shots <output folder>. The main window is shown
// part-way through a download served from a sample image, so every field and
// the progress bar carry something.
#include "config/OptionScan.h"
#include "core/DownloadEngine.h"
#include "window/AboutDlg.h"
#include "window/DialogLook.h"
#include "window/DownloadWindow.h"
#include "window/PortSetDlg.h"
#include "window/TarvixIcon.h"

#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace {

/// A port that opens without a device and swallows what is written.
class DemoChannel : public SerialChannel {
 public:
  bool Open() override {
    PrepareOpen();
    m_open = true;
    return true;
  }
  void Close() override { m_open = false; }
  int Write(std::span<const std::uint8_t> data) override { return static_cast<int>(data.size()); }
};

void WriteFile(const QString& path, const std::string& text) {
  std::ofstream out(QFile::encodeName(path).toStdString(), std::ios::binary);
  out << text;
}

/// The widget with a plain title bar (icon and caption) drawn above it, since
/// an offscreen grab has no window frame.
QImage WithFrame(QWidget& widget) {
  const QPixmap body = widget.grab();
  const QFont captionFont = DialogFont({QStringLiteral("굴림")});
  const int barHeight = QFontMetrics(captionFont).height() + 12;
  QImage framed(body.width() + 2, body.height() + barHeight + 1, QImage::Format_ARGB32);
  framed.fill(QColor(0x40, 0x40, 0x40));
  QPainter painter(&framed);
  painter.fillRect(QRect(1, 1, body.width(), barHeight - 1), QColor(0x1f, 0x4e, 0x79));
  const int iconSize = barHeight - 8;
  painter.drawPixmap(6, 4, TarvixIcon().pixmap(iconSize, iconSize));
  painter.setPen(Qt::white);
  painter.setFont(captionFont);
  painter.drawText(QRect(iconSize + 12, 1, body.width() - iconSize - 14, barHeight - 1),
                   Qt::AlignVCenter | Qt::AlignLeft, widget.windowTitle());
  painter.drawPixmap(1, barHeight, body);
  return framed;
}

bool Save(QWidget& widget, const QDir& out, const char* name) {
  widget.show();
  QApplication::processEvents();
  const QString path = out.filePath(QString::fromLatin1(name));
  if (!WithFrame(widget).save(path, "PNG")) {
    std::fprintf(stderr, "tarvix_window_shots: cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

constexpr const char* kUsage =
    "usage: tarvix_window_shots <output folder>\n"
    "Writes tarvix-window.png, tarvix-port-settings.png and tarvix-about.png.\n";

constexpr const char* kShownRomFolder = "/srv/tarvix/rom";
// The adapters the port dialog lists in the picture, as a machine with two would show them.
constexpr const char* kShownAdapter =
    "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10KXYZ1-if00-port0";
constexpr const char* kOtherAdapter = "/dev/serial/by-id/usb-Prolific_PL2303-if00-port0";

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  OptionScan scan({{{"help", "h"}, false}});
  std::string error;
  const bool parsed = scan.Parse(args, error);
  if (!parsed || scan.IsSet("help") || scan.Arguments().size() != 1) {
    const bool asked = parsed && scan.IsSet("help");
    if (!parsed) std::fprintf(stderr, "tarvix_window_shots: %s\n", error.c_str());
    std::fputs(kUsage, asked ? stdout : stderr);
    return asked ? 0 : 2;
  }
  const std::string& outDir = scan.Arguments().front();
  QApplication app(argc, argv);
  const QDir out(QString::fromLocal8Bit(outDir));
  if (!out.exists() && !QDir().mkpath(out.path())) {
    std::fprintf(stderr, "tarvix_window_shots: cannot create %s\n", outDir.c_str());
    return 1;
  }
  QTemporaryDir work;
  if (!work.isValid()) {
    std::fputs("tarvix_window_shots: cannot create a temporary folder\n", stderr);
    return 1;
  }
  const QString romDir = work.filePath(QStringLiteral("rom"));
  QDir().mkpath(romDir);
  WriteFile(work.filePath(QStringLiteral("Romvale.cfg")),
            "[Location]\r\nROMFILE=" + romDir.toStdString() +
                "\r\nBLLFILE=" + romDir.toStdString() +
                "\r\n[Communication]\r\nPORT=COM1\r\nTYPE=RS232\r\nBAUD=57600bps\r\n");
  WriteFile(romDir + QStringLiteral("/TRM-0.jd0"), std::string(5000, '\x5a'));

  DemoChannel channel;
  DownloadWindow window;
  DownloadEngine core(channel, window.Host(), QFile::encodeName(work.path()).toStdString());
  window.Attach(&core);
  core.Start();
  // Request TRM-0.jd0, begin, and accept the first block: 33 % done.
  const std::vector<std::vector<std::uint8_t>> frames = {
      {0x0F, 0x31, 0x30, 0x0E, 0x0F},
      {0x0F, 0x33, 0x0E, 0x3D},
      {0x0F, 0x37, 0x00, 0x00, 0x06, 0x0E, 0x3F}};
  for (const auto& frame : frames) {
    for (std::uint8_t b : frame) channel.m_readQueue.Put(b);
    core.OnCommRead();
  }
  // The images live in a temporary folder; the picture shows the folder a
  // technician would use instead of that folder's random name.
  EngineSnapshot shown = core.Snapshot();
  shown.romLocation = kShownRomFolder;
  window.Show(shown);

  PortDeviceList devices;
  std::copy(channel.m_portDevices.begin(), channel.m_portDevices.end(), devices.begin());
  devices[0] = kShownAdapter;
  PortSetDlg portDialog(channel.m_baudIndex, channel.m_port, channel.m_commType,
                        channel.m_modemInit, &window, devices, {kShownAdapter, kOtherAdapter});
  AboutDlg about(&window);
  bool ok = Save(window, out, "tarvix-window.png");
  ok = Save(portDialog, out, "tarvix-port-settings.png") && ok;
  ok = Save(about, out, "tarvix-about.png") && ok;
  return ok ? 0 : 1;
}
