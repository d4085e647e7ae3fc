#include "platform/pictures.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QResource>
#include <cstring>

namespace syj {

namespace {

quint32 le32(const uchar *p)
{
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

quint16 le16(const uchar *p)
{
    return quint16(p[0] | p[1] << 8);
}

// An uncompressed 24-bit bitmap (file header, 40-byte or larger info header, no
// palette), or a null image when the data is anything else.
QImage decodeBitmap24(const QByteArray &data)
{
    constexpr qint64 kFileHeader = 14;
    constexpr qint64 kInfoHeader = 40;
    const auto *p = reinterpret_cast<const uchar *>(data.constData());
    const qint64 size = data.size();
    if (size < kFileHeader + kInfoHeader || p[0] != 'B' || p[1] != 'M')
        return {};
    const qint64 offset = le32(p + 10);
    const qint64 infoSize = le32(p + 14);
    const qint64 width = qint32(le32(p + 18));
    const qint64 signedHeight = qint32(le32(p + 22));
    const quint16 planes = le16(p + 26);
    const quint16 bits = le16(p + 28);
    const quint32 compression = le32(p + 30);
    if (infoSize < kInfoHeader || planes != 1 || bits != 24 || compression != 0)
        return {};
    const qint64 height = signedHeight < 0 ? -signedHeight : signedHeight;
    if (width <= 0 || width > 32767 || height <= 0 || height > 32767)
        return {};
    const qint64 stride = (width * 3 + 3) & ~qint64(3);
    if (offset < kFileHeader + infoSize || offset > size || (size - offset) / stride < height)
        return {};

    QImage image(int(width), int(height), QImage::Format_RGB32);
    if (image.isNull())
        return {};
    const bool bottomUp = signedHeight > 0;
    for (qint64 y = 0; y < height; ++y) {
        const uchar *src = p + offset + stride * (bottomUp ? height - 1 - y : y);
        auto *dst = reinterpret_cast<QRgb *>(image.scanLine(int(y)));
        for (qint64 x = 0; x < width; ++x, src += 3)
            dst[x] = 0xff000000u | quint32(src[2]) << 16 | quint32(src[1]) << 8 | src[0];
    }
    return image;
}

} // namespace

QImage decodePicture(const QByteArray &data)
{
    QImage image = decodeBitmap24(data);
    if (!image.isNull())
        return image;
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return reader.read();
}

QImage readPicture(const QString &path)
{
    // A resource stored uncompressed is read where it lies, without a copy.
    const QResource resource(path);
    if (resource.isValid() && resource.compressionAlgorithm() == QResource::NoCompression &&
        resource.data())
        return decodePicture(QByteArray::fromRawData(
            reinterpret_cast<const char *>(resource.data()), qsizetype(resource.size())));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return decodePicture(file.readAll());
}

PictureLoader::PictureLoader(const QStringList &paths)
{
    // Decoded in place, later, if no thread can be started.
    m_work = std::async(std::launch::async | std::launch::deferred, [paths] {
        QHash<QString, QImage> images;
        for (const QString &path : paths)
            images.insert(path, readPicture(path));
        return images;
    });
}

PictureLoader::~PictureLoader()
{
    if (m_work.valid())
        m_work.wait();
}

QPixmap PictureLoader::take(const QString &path)
{
    if (!m_collected) {
        m_done = m_work.get();
        m_collected = true;
    }
    const auto it = m_done.find(path);
    if (it == m_done.end())
        return QPixmap::fromImage(readPicture(path));
    QImage image = std::move(*it);
    m_done.erase(it);
    return QPixmap::fromImage(std::move(image));
}

} // namespace syj
