#include "support/sound.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>
#include <QtEndian>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace Qt::StringLiterals;

namespace syj::test {

namespace {

constexpr char kSink[] = "syj_null";

} // namespace

NullSinkServer::~NullSinkServer()
{
    for (QProcess *p : {&m_listener, &m_server}) {
        if (p->state() == QProcess::NotRunning)
            continue;
        p->terminate();
        if (!p->waitForFinished(3000))
            p->kill();
        p->waitForFinished(3000);
    }
}

QString NullSinkServer::serverAddress() const
{
    return u"unix:"_s + m_dir.filePath(u"native"_s);
}

QString NullSinkServer::monitorSource()
{
    return QLatin1StringView(kSink) + u".monitor"_s;
}

bool NullSinkServer::start()
{
    const QString pulseaudio = QStandardPaths::findExecutable(u"pulseaudio"_s);
    if (pulseaudio.isEmpty() || QStandardPaths::findExecutable(u"parec"_s).isEmpty()) {
        m_error = u"pulseaudio or parec is not installed"_s;
        return false;
    }
    if (!m_dir.isValid()) {
        m_error = u"no temporary folder"_s;
        return false;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"XDG_RUNTIME_DIR"_s, m_dir.path());
    env.insert(u"HOME"_s, m_dir.path());
    m_server.setProcessEnvironment(env);
    m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_server.start(pulseaudio,
                   {u"-n"_s, u"--daemonize=no"_s, u"--exit-idle-time=-1"_s, u"--use-pid-file=no"_s,
                    u"--disallow-module-loading"_s, u"--log-level=error"_s, u"-L"_s,
                    u"module-native-protocol-unix socket="_s + m_dir.filePath(u"native"_s), u"-L"_s,
                    u"module-null-sink sink_name="_s + QLatin1StringView(kSink)});
    if (!m_server.waitForStarted(5000)) {
        m_error = u"pulseaudio did not start"_s;
        return false;
    }
    const QDeadlineTimer deadline(5000);
    while (!QFile::exists(m_dir.filePath(u"native"_s))) {
        if (deadline.hasExpired() || m_server.state() != QProcess::Running) {
            m_error = u"pulseaudio did not open its socket"_s;
            return false;
        }
        QThread::msleep(20);
    }
    qputenv("PULSE_SERVER", serverAddress().toLocal8Bit());
    return listen();
}

bool NullSinkServer::listen()
{
    // Quiet and small: one byte a sample, 8000 samples a second.
    const QString heard = m_dir.filePath(u"listener.raw"_s);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"PULSE_SERVER"_s, serverAddress());
    m_listener.setProcessEnvironment(env);
    m_listener.setStandardOutputFile(heard);
    m_listener.start(u"parec"_s,
                     {u"-d"_s, QLatin1StringView(kSink) + u".monitor"_s, u"--format=u8"_s,
                      u"--rate=8000"_s, u"--channels=1"_s, u"--raw"_s, u"--latency-msec=10"_s});
    if (!m_listener.waitForStarted(5000)) {
        m_error = u"parec did not start"_s;
        return false;
    }
    const QDeadlineTimer deadline(5000);
    while (QFileInfo(heard).size() == 0) {
        if (deadline.hasExpired() || m_listener.state() != QProcess::Running) {
            m_error = u"the null sink's listener got nothing"_s;
            return false;
        }
        QThread::msleep(10);
    }
    return true;
}

NullSinkServer &processNullSink()
{
    static NullSinkServer server;
    if (!server.isRunning() && !server.start()) {
        std::fprintf(stderr, "no sound server to play through: %s\n", qPrintable(server.error()));
        std::exit(1);
    }
    return server;
}

SinkRecorder::~SinkRecorder()
{
    stop();
}

bool SinkRecorder::start(const NullSinkServer &server)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"PULSE_SERVER"_s, server.serverAddress());
    m_parec.setProcessEnvironment(env);
    // Straight into a file: a pipe left unread would hold parec up.
    m_parec.setStandardOutputFile(m_dir.filePath(u"recorded.raw"_s));
    m_parec.start(u"parec"_s, {u"-d"_s, NullSinkServer::monitorSource(), u"--format=s16le"_s,
                               u"--rate=%1"_s.arg(kRate), u"--channels=1"_s, u"--raw"_s,
                               u"--latency-msec=20"_s});
    if (!m_parec.waitForStarted(5000))
        return false;
    // Recording once samples come in: parec takes a while to connect.
    const QFileInfo file(m_dir.filePath(u"recorded.raw"_s));
    const QDeadlineTimer deadline(5000);
    while (QFileInfo(file.filePath()).size() == 0) {
        if (deadline.hasExpired() || m_parec.state() != QProcess::Running)
            return false;
        QThread::msleep(10);
    }
    return true;
}

QByteArray SinkRecorder::stop()
{
    if (m_parec.state() == QProcess::NotRunning)
        return QByteArray();
    m_parec.terminate();
    if (!m_parec.waitForFinished(3000))
        m_parec.kill();
    m_parec.waitForFinished(3000);
    QFile recorded(m_dir.filePath(u"recorded.raw"_s));
    return recorded.open(QIODevice::ReadOnly) ? recorded.readAll() : QByteArray();
}

double peakLevel(const QByteArray &samples)
{
    int peak = 0;
    for (qsizetype i = 0; i + 1 < samples.size(); i += 2)
        peak = std::max(
            peak, std::abs(static_cast<int>(qFromLittleEndian<qint16>(samples.constData() + i))));
    return peak / 32767.0;
}

double loudSeconds(const QByteArray &samples, int rate)
{
    const qsizetype n = samples.size() / 2;
    const auto at = [&samples](qsizetype i) {
        return std::abs(static_cast<int>(qFromLittleEndian<qint16>(samples.constData() + 2 * i)));
    };
    int peak = 0;
    for (qsizetype i = 0; i < n; ++i)
        peak = std::max(peak, at(i));
    if (peak < 100)
        return 0;
    qsizetype first = 0;
    while (at(first) <= peak / 3)
        ++first;
    qsizetype last = n - 1;
    while (at(last) <= peak / 3)
        --last;
    return static_cast<double>(last - first) / rate;
}

double toneFrequency(const QByteArray &samples, int rate)
{
    const qsizetype n = samples.size() / 2;
    std::vector<int> s(static_cast<size_t>(n));
    for (qsizetype i = 0; i < n; ++i)
        s[static_cast<size_t>(i)] = qFromLittleEndian<qint16>(samples.constData() + 2 * i);
    // The loud part, less a tenth of a second at each end where the sound
    // may start or stop.
    int peak = 0;
    for (const int v : s)
        peak = std::max(peak, std::abs(v));
    if (peak < 100)
        return 0;
    qsizetype first = -1;
    qsizetype last = -1;
    for (qsizetype i = 0; i < n; ++i) {
        if (std::abs(s[static_cast<size_t>(i)]) > peak / 3) {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    const qsizetype margin = rate / 10;
    if (first < 0 || last - first < 4 * margin)
        return 0;
    std::vector<qsizetype> rising;
    for (qsizetype i = first + margin + 1; i < last - margin; ++i) {
        if (s[static_cast<size_t>(i - 1)] < 0 && s[static_cast<size_t>(i)] >= 0)
            rising.push_back(i);
    }
    if (rising.size() < 10)
        return 0;
    // The periods between crossings; a sample dropped by the recorder makes a
    // short one now and then, so only those near the usual period count.
    std::vector<double> periods;
    for (size_t i = 1; i < rising.size(); ++i)
        periods.push_back(static_cast<double>(rising[i] - rising[i - 1]));
    std::vector<double> sorted = periods;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<long>(sorted.size() / 2),
                     sorted.end());
    const double median = sorted[sorted.size() / 2];
    double sum = 0;
    int count = 0;
    for (const double p : periods) {
        if (std::abs(p - median) <= median * 0.05) {
            sum += p;
            ++count;
        }
    }
    return count > 0 ? rate / (sum / count) : 0;
}

} // namespace syj::test
