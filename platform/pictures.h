// Pictures compiled into the program. A window can start decoding its pictures
// on a worker thread before it builds its widgets and collect them when it
// needs them, so that decoding overlaps with widget and font set-up.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <future>

namespace syj {

// Decodes a picture. A plain 24-bit bitmap is decoded directly into RGB32,
// several times faster than the general reader; anything else goes to Qt's
// image readers. Returns a null image for data that is not a picture.
QImage decodePicture(const QByteArray &data);

// Reads and decodes a picture file or resource; a null image if it cannot.
QImage readPicture(const QString &path);

// Decodes a set of pictures on one worker thread, started on construction.
// take() waits for that picture; a path that was not asked for is read on the
// spot. The destructor waits for the worker.
class PictureLoader
{
public:
    explicit PictureLoader(const QStringList &paths);
    ~PictureLoader();
    PictureLoader(const PictureLoader &) = delete;
    PictureLoader &operator=(const PictureLoader &) = delete;

    QPixmap take(const QString &path);

private:
    std::future<QHash<QString, QImage>> m_work;
    QHash<QString, QImage> m_done;
    bool m_collected = false;
};

} // namespace syj
