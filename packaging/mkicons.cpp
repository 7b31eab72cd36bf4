// mkicons <picture.svg> <folder> <size>...: draws the program's icon at each size given, as
// <folder>/<size>x<size>/apps/lanshu.png, the layout of an icon theme.
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char** argv)
{
    // The drawing has no text, so it needs neither a display nor the fonts: no application object.
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: mkicons <picture.svg> <folder> <size>...\n");
        return 2;
    }
    QSvgRenderer svg(args[1]);
    if (!svg.isValid()) {
        std::fprintf(stderr, "mkicons: %s is not a picture that can be drawn\n", qPrintable(args[1]));
        return 1;
    }
    for (qsizetype i = 3; i < args.size(); ++i) {
        bool ok = false;
        const int size = args[i].toInt(&ok);
        if (!ok || size < 1 || size > 1024) {
            std::fprintf(stderr, "mkicons: %s is no size\n", qPrintable(args[i]));
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        svg.render(&painter);
        painter.end();
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(args[2]).arg(size);
        const QString file = folder + QStringLiteral("/lanshu.png");
        if (!QDir().mkpath(folder) || !image.save(file, "PNG")) {
            std::fprintf(stderr, "mkicons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
