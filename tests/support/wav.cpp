#include "support/wav.h"

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <numbers>

namespace syj::test {

namespace {

void appendLe32(QByteArray &out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

void appendLe16(QByteArray &out, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    if (f.write(bytes) != bytes.size())
        return false;
    return f.flush();
}

} // namespace

bool writePcmWav(const QString &path, const std::vector<float> &samples, int sampleRate)
{
    // 16-bit mono: two bytes a frame, and the RIFF size field is 32 bits.
    if (sampleRate <= 0 || sampleRate > 192000 || samples.size() * 2 > 0x7fff0000u)
        return false;
    const auto dataBytes = static_cast<quint32>(samples.size() * 2);
    QByteArray out;
    out.reserve(static_cast<qsizetype>(44 + dataBytes));
    out.append("RIFF", 4);
    appendLe32(out, 36 + dataBytes);
    out.append("WAVE", 4);
    out.append("fmt ", 4);
    appendLe32(out, 16);                                   // fmt chunk size
    appendLe16(out, 1);                                    // PCM
    appendLe16(out, 1);                                    // mono
    appendLe32(out, static_cast<quint32>(sampleRate));     // sample rate
    appendLe32(out, static_cast<quint32>(sampleRate) * 2); // byte rate
    appendLe16(out, 2);                                    // block align
    appendLe16(out, 16);                                   // bits a sample
    out.append("data", 4);
    appendLe32(out, dataBytes);
    for (const float v : samples)
        appendLe16(out, static_cast<quint16>(static_cast<qint16>(std::lround(v * 32767.0f))));
    return writeAll(path, out);
}

bool writeToneWav(const QString &path, double seconds, int sampleRate, double freq,
                  const std::vector<std::pair<double, double>> &quiet)
{
    if (!(seconds >= 0) || sampleRate <= 0 || sampleRate > 192000)
        return false;
    const double frames = std::floor(seconds * sampleRate);
    if (frames * 2 > 0x7fff0000)
        return false;
    const auto frameCount = static_cast<quint32>(frames);
    std::vector<float> samples(frameCount);
    const double step = 2 * std::numbers::pi * freq / sampleRate;
    for (quint32 i = 0; i < frameCount; ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        const bool silent = std::any_of(quiet.begin(), quiet.end(), [t](const auto &span) {
            return t >= span.first && t < span.second;
        });
        samples[i] = silent ? 0.0f : static_cast<float>(0.3 * std::sin(step * i));
    }
    return writePcmWav(path, samples, sampleRate);
}

bool writeSilentMp3(const QString &path, double seconds)
{
    if (!(seconds >= 0) || seconds > 3600)
        return false;
    // 1152 samples a frame at 48 kHz is 24 ms; 128 kbit/s makes every frame
    // 144 * 128000 / 48000 = 384 bytes with no padding. The side information
    // and main data are all zero: every granule decodes to silence.
    constexpr int frameBytes = 384;
    const auto frames = static_cast<qsizetype>(std::ceil(seconds / 0.024));
    const char header[4] = {'\xff', '\xfb', '\x94', '\xc0'};
    QByteArray frame(frameBytes, '\0');
    std::copy(std::begin(header), std::end(header), frame.begin());
    QByteArray out;
    out.reserve(frames * frameBytes);
    for (qsizetype i = 0; i < frames; ++i)
        out.append(frame);
    return writeAll(path, out);
}

bool encodeMp3(const QString &wav, const QString &mp3)
{
    const QString gst = QStandardPaths::findExecutable(QStringLiteral("gst-launch-1.0"));
    if (gst.isEmpty())
        return false;
    QProcess p;
    p.start(gst,
            {QStringLiteral("-q"), QStringLiteral("filesrc"), QStringLiteral("location=") + wav,
             QStringLiteral("!"), QStringLiteral("wavparse"), QStringLiteral("!"),
             QStringLiteral("audioconvert"), QStringLiteral("!"), QStringLiteral("lamemp3enc"),
             QStringLiteral("!"), QStringLiteral("filesink"), QStringLiteral("location=") + mp3});
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit &&
           p.exitCode() == 0 && QFile(mp3).size() > 0;
}

bool writeGarbageFile(const QString &path)
{
    QByteArray out;
    out.append("RIFF", 4);
    appendLe32(out, 0x7fffffff);
    out.append("WAVEjunk", 8);
    // A fixed linear congruential sequence, so every run sees the same bytes.
    quint32 x = 12345;
    for (int i = 0; i < 4096; ++i) {
        x = x * 1103515245u + 12345u;
        out.append(static_cast<char>(x >> 24));
    }
    return writeAll(path, out);
}

} // namespace syj::test
