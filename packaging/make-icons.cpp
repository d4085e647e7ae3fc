// Build-time helper: reads the program's icon (any format QImage reads, here a
// 16-colour .ico) and writes it as square PNGs in the freedesktop hicolor layout,
//   <outdir>/<N>x<N>/apps/<name>.png   for every size N given.
// It uses the same decoder the program uses for its window icon, so the menu icon
// and the window icon cannot drift apart, and the build needs nothing beyond Qt.

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QStringList>
#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "make-icons: %s\n", qPrintable(message));
    return 1;
}

// A square canvas with the picture centred on a transparent background.
QImage squared(const QImage &source)
{
    const int side = std::max(source.width(), source.height());
    if (source.width() == side && source.height() == side)
        return source;
    QImage canvas(side, side, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    painter.drawImage((side - source.width()) / 2, (side - source.height()) / 2, source);
    return canvas;
}

// Downscaling averages areas. Upscaling a few-colour picture smoothly would blur
// every edge, so it is first enlarged by a whole factor with plain pixel copies,
// then brought down to the exact size.
QImage scaled(const QImage &square, int size)
{
    QImage image = square;
    if (size > image.width()) {
        const int factor = (size + image.width() - 1) / image.width();
        image = image.scaled(image.width() * factor, image.height() * factor, Qt::IgnoreAspectRatio,
                             Qt::FastTransformation);
    }
    if (image.width() != size)
        image = image.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv); // lets QImage find its format plugins (.ico)
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 5)
        return fail(u"usage: make-icons INPUT OUTDIR NAME SIZE..."_s);

    QImage source(args.at(1));
    if (source.isNull())
        return fail(u"cannot read %1"_s.arg(args.at(1)));
    const QImage square = squared(source.convertToFormat(QImage::Format_ARGB32_Premultiplied));

    const QDir outdir(args.at(2));
    const QString &name = args.at(3);
    for (qsizetype i = 4; i < args.size(); ++i) {
        bool ok = false;
        const int size = args.at(i).toInt(&ok);
        if (!ok || size < 1 || size > 1024)
            return fail(u"bad size %1"_s.arg(args.at(i)));
        const QString dir = u"%1x%1/apps"_s.arg(size);
        if (!outdir.mkpath(dir))
            return fail(u"cannot create %1"_s.arg(outdir.filePath(dir)));
        const QString file = outdir.filePath(dir + u'/' + name + u".png"_s);
        QImageWriter writer(file, "png");
        if (!writer.write(scaled(square, size).convertToFormat(QImage::Format_ARGB32)))
            return fail(u"cannot write %1: %2"_s.arg(file, writer.errorString()));
    }
    return 0;
}
