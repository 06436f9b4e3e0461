// Writes the program's icon as a PNG file: tarvix_icon <size> <file.png>.
#include "window/TarvixIcon.h"

#include "config/OptionScan.h"

#include <QGuiApplication>
#include <QString>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* kUsage = "usage: tarvix_icon <size in pixels, 16-1024> <output.png>\n";

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  OptionScan scan({{{"help", "h"}, false}});
  std::string error;
  if (!scan.Parse(args, error)) {
    std::fprintf(stderr, "tarvix_icon: %s\n%s", error.c_str(), kUsage);
    return 2;
  }
  if (scan.IsSet("help")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (scan.Arguments().size() != 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string& sizeText = scan.Arguments()[0];
  const std::string& file = scan.Arguments()[1];
  bool number = false;
  const int size = QString::fromLocal8Bit(sizeText).toInt(&number);
  if (!number || size < 16 || size > 1024) {
    std::fprintf(stderr, "tarvix_icon: size must be 16 to 1024 pixels, not '%s'\n",
                 sizeText.c_str());
    return 2;
  }
  QGuiApplication app(argc, argv);
  if (!PaintTarvixIcon(size).save(QString::fromLocal8Bit(file), "PNG")) {
    std::fprintf(stderr, "tarvix_icon: cannot write %s\n", file.c_str());
    return 1;
  }
  return 0;
}
