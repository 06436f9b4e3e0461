// Writes the program's icon as a PNG file: tarvix_icon <size> <file.png>.
#include "window/TarvixIcon.h"

#include <QGuiApplication>
#include <QString>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::puts("usage: tarvix_icon <size in pixels, 16-1024> <output.png>");
    return 0;
  }
  if (argc != 3) {
    std::fputs("usage: tarvix_icon <size in pixels, 16-1024> <output.png>\n", stderr);
    return 2;
  }
  bool number = false;
  const int size = QString::fromLocal8Bit(argv[1]).toInt(&number);
  if (!number || size < 16 || size > 1024) {
    std::fprintf(stderr, "tarvix_icon: size must be 16 to 1024 pixels, not '%s'\n", argv[1]);
    return 2;
  }
  QGuiApplication app(argc, argv);
  if (!PaintTarvixIcon(size).save(QString::fromLocal8Bit(argv[2]), "PNG")) {
    std::fprintf(stderr, "tarvix_icon: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
