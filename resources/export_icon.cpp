// Writes the program icon, which is drawn in code, to a PNG file for the
// desktop entry of the installed program:
//   orn10_export_icon <file.png> [size]
// Without a size the icon keeps its own 100 x 100 pixels; with one it is
// scaled smoothly to size x size.  Runs on any Qt platform (offscreen too).
#include "icons.h"

#include <QGuiApplication>
#include <QImage>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s <file.png> [size]\n", argv[0]);
        return 2;
    }
    QImage icon = orn::ProgramIcon();
    if (argc == 3) {
        const int size = std::atoi(argv[2]);
        if (size < 16 || size > 1024) {
            std::fprintf(stderr, "%s: size %s is not 16 to 1024\n", argv[0], argv[2]);
            return 2;
        }
        icon = icon.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    if (!icon.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
