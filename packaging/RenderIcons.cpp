// linvar_render_icons FOLDER
// Writes the program's icon as FOLDER/<N>x<N>/apps/linvar.png for the icon theme's usual sizes,
// drawn by the code that draws the window's and the About box's icon, so the desktop menu
// shows the same picture. Runs at build time on the offscreen platform.
//
// linvar_render_icons --compare PICTURE
// Compares a picture (the SVG icon rendered to PNG) with the icon drawn at its size, and
// fails when they differ by more than anti-aliasing would: the SVG is drawn by hand from the
// same shapes, and this keeps the two from drifting apart.

#include "ui/UAppIcon.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include <cmath>
#include <cstdio>

namespace {

// Root mean square difference of the colour channels, premultiplied by alpha, from 0 to 1.
double Difference(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    const QImage y = b.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const uchar *p = x.constScanLine(row);
        const uchar *q = y.constScanLine(row);
        for (int i = 0; i < x.width() * 4; ++i) {
            const double d = (p[i] - q[i]) / 255.0;
            sum += d * d;
        }
    }
    return std::sqrt(sum / (x.width() * x.height() * 4.0));
}

int Compare(const QString &path)
{
    const QImage picture(path);
    if (picture.isNull() || picture.width() != picture.height()) {
        std::fprintf(stderr, "linvar_render_icons: %s is no square picture\n", qPrintable(path));
        return 2;
    }
    const double difference = Difference(picture, DrawAppIcon(picture.width()).toImage());
    std::printf("icon difference at %d px: %.4f\n", picture.width(), difference);
    // From 32 px up anti-aliasing alone stays under 0.01, while a lamp of another colour or a
    // stroke moved by a unit already gives near 0.04.
    return difference <= 0.02 ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    // A pixmap needs a GUI application, though nothing is shown.
    QGuiApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--compare")
        return Compare(QString::fromLocal8Bit(argv[2]));
    if (argc != 2) {
        std::fprintf(stderr, "usage: linvar_render_icons FOLDER | --compare PICTURE\n");
        return 2;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        const QString path = root.filePath(folder + QStringLiteral("/linvar.png"));
        if (!root.mkpath(folder) || !DrawAppIcon(size).save(path, "PNG")) {
            std::fprintf(stderr, "linvar_render_icons: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
