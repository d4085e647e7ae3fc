#include "support/heard.h"

#include "support/sound.h"
#include "support/wav.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <complex>
#include <csignal>
#include <ctime>
#include <numbers>
#include <optional>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

using namespace Qt::StringLiterals;

namespace syj::test {

qint64 monotonicNowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// --- the chirp ----------------------------------------------------------------

std::vector<float> chirpSamples(const Chirp &chirp)
{
    const auto n = static_cast<size_t>(std::max(0.0, std::floor(chirp.seconds * chirp.rate)));
    // The wobble: white noise of a fixed sequence through two one-pole
    // low-passes.
    std::vector<double> wobble(n);
    quint32 x = chirp.seed * 2654435761u + 12345u;
    const double a = std::exp(-2 * std::numbers::pi * chirp.wobbleHz / chirp.rate);
    double y1 = 0, y2 = 0, energy = 0;
    for (size_t i = 0; i < n; ++i) {
        x = x * 1664525u + 1013904223u;
        const double white = static_cast<double>(x >> 8) / double(1 << 23) - 1.0;
        y1 = a * y1 + (1 - a) * white;
        y2 = a * y2 + (1 - a) * y1;
        wobble[i] = y2;
        energy += y2 * y2;
    }
    const double scale =
        n > 0 && energy > 0 ? chirp.wobbleRadians / std::sqrt(energy / static_cast<double>(n)) : 0;
    std::vector<float> out(n);
    for (size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / chirp.rate;
        const double cycles = chirp.startHz * t + 0.5 * chirp.hzPerSecond * t * t;
        const double phase = 2 * std::numbers::pi * (cycles - std::floor(cycles));
        out[i] = static_cast<float>(chirp.amplitude * std::sin(phase + wobble[i] * scale));
    }
    return out;
}

namespace {

// The samples of a 16-bit mono PCM WAV file at `rate`; none if it is not one.
std::optional<std::vector<float>> wavSamples(const QString &path, int rate)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = f.readAll();
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE")
        return std::nullopt;
    bool formatFits = false;
    for (qsizetype at = 12; at + 8 <= bytes.size();) {
        const QByteArray id = bytes.mid(at, 4);
        const auto size =
            static_cast<qsizetype>(qFromLittleEndian<quint32>(bytes.constData() + at + 4));
        const qsizetype body = at + 8;
        if (id == "fmt " && size >= 16 && body + 16 <= bytes.size()) {
            const char *p = bytes.constData() + body;
            formatFits = qFromLittleEndian<quint16>(p) == 1 &&
                         qFromLittleEndian<quint16>(p + 2) == 1 &&
                         qFromLittleEndian<quint32>(p + 4) == static_cast<quint32>(rate) &&
                         qFromLittleEndian<quint16>(p + 14) == 16;
        } else if (id == "data") {
            if (!formatFits)
                return std::nullopt;
            const qsizetype count = std::min(size, bytes.size() - body) / 2;
            std::vector<float> out(static_cast<size_t>(count));
            for (qsizetype i = 0; i < count; ++i)
                out[static_cast<size_t>(i)] =
                    qFromLittleEndian<qint16>(bytes.constData() + body + 2 * i) / 32768.0f;
            return out;
        }
        at = body + size + (size & 1);
    }
    return std::nullopt;
}

} // namespace

bool writeChirpWav(const QString &path, const Chirp &chirp)
{
    return writePcmWav(path, chirpSamples(chirp), chirp.rate);
}

std::vector<float> decodedSamples(const QString &path, int rate)
{
    if (std::optional<std::vector<float>> wav = wavSamples(path, rate))
        return *wav;
    const QString gst = QStandardPaths::findExecutable(u"gst-launch-1.0"_s);
    QTemporaryDir dir;
    if (gst.isEmpty() || !dir.isValid())
        return {};
    const QString raw = dir.filePath(u"decoded.raw"_s);
    QProcess p;
    p.start(gst, {u"-q"_s, u"filesrc"_s, u"location="_s + path, u"!"_s, u"decodebin"_s, u"!"_s,
                  u"audioconvert"_s, u"dithering=none"_s, u"!"_s, u"audioresample"_s, u"!"_s,
                  u"audio/x-raw,format=S16LE,channels=1,rate=%1"_s.arg(rate), u"!"_s, u"filesink"_s,
                  u"location="_s + raw});
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return {};
    QFile f(raw);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = f.readAll();
    std::vector<float> out(static_cast<size_t>(bytes.size() / 2));
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = qFromLittleEndian<qint16>(bytes.constData() + 2 * i) / 32768.0f;
    return out;
}

Chirp playerChirp(int player)
{
    Chirp c;
    c.startHz = player == 0 ? 300 : 4000;
    c.seed = static_cast<quint32>(player + 1);
    return c;
}

HeardSource writeHeardFile(const QString &path, int player, double seconds)
{
    HeardSource source;
    source.id = player;
    source.chirp = playerChirp(player);
    source.chirp.seconds = seconds;
    const bool mp3 = path.endsWith(u".mp3"_s, Qt::CaseInsensitive);
    const QString wav = mp3 ? path.left(path.size() - 4) + u".source.wav"_s : path;
    if (!writeChirpWav(wav, source.chirp) || (mp3 && !encodeMp3(wav, path)))
        return source;
    if (mp3)
        QFile::remove(wav);
    source.reference = decodedSamples(path);
    return source;
}

const HeardSegment *firstHeard(const std::vector<HeardSegment> &segments, int source, qint64 fromNs,
                               qint64 untilNs, bool (*fits)(const HeardSegment &, double),
                               double arg)
{
    for (const HeardSegment &s : segments) {
        if (s.source == source && s.fromNs >= fromNs && s.fromNs <= untilNs &&
            (!fits || fits(s, arg)))
            return &s;
    }
    return nullptr;
}

const HeardSegment *heardAt(const std::vector<HeardSegment> &segments, int source, qint64 ns,
                            qint64 graceNs)
{
    const HeardSegment *found = nullptr;
    for (const HeardSegment &s : segments) {
        if (s.source == source && s.fromNs <= ns && s.toNs >= ns - graceNs)
            found = &s;
    }
    return found;
}

// --- the recorder ---------------------------------------------------------------

TimedSinkRecorder::~TimedSinkRecorder()
{
    stop();
}

bool TimedSinkRecorder::start(const NullSinkServer &server, int latencyMs)
{
    if (m_pid > 0)
        return false;
    int fds[2];
    if (pipe(fds) != 0)
        return false;
    const QByteArray pulse = "PULSE_SERVER=" + server.serverAddress().toLocal8Bit();
    std::vector<char *> env;
    for (char **e = environ; *e; ++e) {
        if (qstrncmp(*e, "PULSE_SERVER=", 13) != 0)
            env.push_back(*e);
    }
    env.push_back(const_cast<char *>(pulse.constData()));
    env.push_back(nullptr);
    const QByteArray device = NullSinkServer::monitorSource().toLocal8Bit();
    const QByteArray rate = "--rate=" + QByteArray::number(kRate);
    const QByteArray latency = "--latency-msec=" + QByteArray::number(latencyMs);
    const char *args[] = {
        "parec",        "-d",    device.constData(),  "--format=s16le", rate.constData(),
        "--channels=1", "--raw", latency.constData(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    pid_t pid = -1;
    const int spawned =
        posix_spawnp(&pid, "parec", &actions, nullptr, const_cast<char **>(args), env.data());
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0) {
        close(fds[0]);
        return false;
    }
    m_pid = pid;
    m_reader = std::thread([this, fd = fds[0]] { readLoop(fd); });
    // Recording once samples come in: parec takes a while to connect.
    const qint64 deadline = monotonicNowNs() + 5'000'000'000;
    while (!m_started.load()) {
        int status = 0;
        if (monotonicNowNs() > deadline || waitpid(m_pid, &status, WNOHANG) == m_pid) {
            stop();
            return false;
        }
        usleep(2000);
    }
    return true;
}

void TimedSinkRecorder::readLoop(int fd)
{
    char buffer[8192];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        const qint64 now = monotonicNowNs();
        std::lock_guard lock(m_lock);
        qsizetype at = 0;
        if (m_haveOddByte) {
            const char pair[2] = {m_oddByte, buffer[0]};
            m_samples.push_back(qFromLittleEndian<qint16>(pair));
            at = 1;
            m_haveOddByte = false;
        }
        for (; at + 1 < got; at += 2)
            m_samples.push_back(qFromLittleEndian<qint16>(buffer + at));
        if (at < got) {
            m_oddByte = buffer[at];
            m_haveOddByte = true;
        }
        m_ends.push_back(static_cast<qsizetype>(m_samples.size()));
        m_offsets.push_back(
            now - static_cast<qint64>(static_cast<double>(m_samples.size()) * 1e9 / kRate));
        m_started.store(true);
    }
    close(fd);
}

void TimedSinkRecorder::stop()
{
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
    }
    if (m_reader.joinable())
        m_reader.join();
}

std::vector<float> TimedSinkRecorder::samples() const
{
    std::lock_guard lock(m_lock);
    std::vector<float> out(m_samples.size());
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = m_samples[i] / 32768.0f;
    return out;
}

qsizetype TimedSinkRecorder::sampleCount() const
{
    std::lock_guard lock(m_lock);
    return static_cast<qsizetype>(m_samples.size());
}

std::vector<qint64> TimedSinkRecorder::datings() const
{
    std::vector<qint64> out(m_offsets.size());
    constexpr qsizetype window = 2 * kRate;
    for (size_t k = 0; k < m_offsets.size(); ++k) {
        qint64 earliest = m_offsets[k];
        for (size_t j = k + 1; j < m_offsets.size() && m_ends[j] <= m_ends[k] + window; ++j)
            earliest = std::min(earliest, m_offsets[j]);
        out[k] = earliest;
    }
    return out;
}

qint64 TimedSinkRecorder::startNs() const
{
    std::lock_guard lock(m_lock);
    const std::vector<qint64> d = datings();
    return d.empty() ? 0 : d.front();
}

double TimedSinkRecorder::medianLatenessMs() const
{
    std::lock_guard lock(m_lock);
    const std::vector<qint64> d = datings();
    std::vector<qint64> late(d.size());
    for (size_t k = 0; k < d.size(); ++k)
        late[k] = m_offsets[k] - d[k];
    if (late.empty())
        return 0;
    std::nth_element(late.begin(), late.begin() + static_cast<long>(late.size() / 2), late.end());
    return static_cast<double>(late[late.size() / 2]) / 1e6;
}

double TimedSinkRecorder::worstLatenessMs() const
{
    std::lock_guard lock(m_lock);
    const std::vector<qint64> d = datings();
    qint64 worst = 0;
    for (size_t k = 0; k < d.size(); ++k)
        worst = std::max(worst, m_offsets[k] - d[k]);
    return static_cast<double>(worst) / 1e6;
}

double TimedSinkRecorder::datingMovedMs() const
{
    std::lock_guard lock(m_lock);
    const std::vector<qint64> d = datings();
    return d.empty() ? 0 : static_cast<double>(d.back() - d.front()) / 1e6;
}

qint64 Recording::nsAt(double sample) const
{
    qint64 start = startNs;
    if (!pieceEnds.empty()) {
        const auto at = std::lower_bound(pieceEnds.begin(), pieceEnds.end(),
                                         static_cast<qsizetype>(std::ceil(sample)));
        start = pieceStartNs[std::min(static_cast<size_t>(at - pieceEnds.begin()),
                                      pieceStartNs.size() - 1)];
    }
    return start + static_cast<qint64>(sample * 1e9 / rate);
}

qsizetype Recording::sampleAt(qint64 ns) const
{
    qsizetype low = 0;
    auto high = static_cast<qsizetype>(samples.size());
    while (low < high) {
        const qsizetype mid = (low + high) / 2;
        if (nsAt(static_cast<double>(mid)) < ns)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

Recording recordingOf(const TimedSinkRecorder &recorder)
{
    Recording r;
    r.samples = recorder.samples();
    r.rate = TimedSinkRecorder::kRate;
    std::lock_guard lock(recorder.m_lock);
    r.pieceEnds = recorder.m_ends;
    r.pieceStartNs = recorder.datings();
    r.startNs = r.pieceStartNs.empty() ? 0 : r.pieceStartNs.front();
    return r;
}

// --- the decoder ----------------------------------------------------------------

namespace {

// Windows: a place is followed every 5 ms in a window of 10 ms, and
// searched for far and wide in one of 30 ms (a shorter one looks like too
// many other places of the file).
constexpr int kHop = 220;
constexpr int kWindow = 441;
constexpr int kWide = 1323;

// An eighth-order Butterworth filter as four biquads (high- or low-pass).
class Butterworth
{
public:
    Butterworth(double cutoffHz, int rate, bool highPass)
    {
        const double w = 2 * std::numbers::pi * cutoffHz / rate;
        const double cw = std::cos(w), sw = std::sin(w);
        for (int k = 1; k <= 4; ++k) {
            const double q = 1.0 / (2 * std::sin((2 * k - 1) * std::numbers::pi / 16));
            const double alpha = sw / (2 * q);
            const double a0 = 1 + alpha;
            Stage s;
            if (highPass) {
                s.b0 = (1 + cw) / 2 / a0;
                s.b1 = -(1 + cw) / a0;
            } else {
                s.b0 = (1 - cw) / 2 / a0;
                s.b1 = (1 - cw) / a0;
            }
            s.b2 = s.b0;
            s.a1 = -2 * cw / a0;
            s.a2 = (1 - alpha) / a0;
            m_stages.push_back(s);
        }
    }
    void apply(std::vector<float> &x) const
    {
        for (const Stage &s : m_stages) {
            double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
            for (float &v : x) {
                const double y = s.b0 * v + s.b1 * x1 + s.b2 * x2 - s.a1 * y1 - s.a2 * y2;
                x2 = x1;
                x1 = v;
                y2 = y1;
                y1 = y;
                v = static_cast<float>(y);
            }
        }
    }

private:
    struct Stage {
        double b0, b1, b2, a1, a2;
    };
    std::vector<Stage> m_stages;
};

// Keeps the source's band only, so that another source sounding at the same
// time does not spoil its match.
std::vector<float> bandOf(std::vector<float> x, const Chirp &chirp, int rate)
{
    const double low = chirp.lowHz() - 150;
    const double high = chirp.highHz() + 250;
    if (low > 100)
        Butterworth(low, rate, true).apply(x);
    if (high < rate * 0.45)
        Butterworth(high, rate, false).apply(x);
    return x;
}

void fft(std::vector<std::complex<double>> &a)
{
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const double angle = -2 * std::numbers::pi / static_cast<double>(len);
        const std::complex<double> step(std::cos(angle), std::sin(angle));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> w(1);
            for (size_t j = 0; j < len / 2; ++j) {
                const std::complex<double> u = a[i + j], v = a[i + j + len / 2] * w;
                a[i + j] = u + v;
                a[i + j + len / 2] = u - v;
                w *= step;
            }
        }
    }
}

double dot(const float *x, const float *y, int n)
{
    float s0 = 0, s1 = 0, s2 = 0, s3 = 0;
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        s0 += x[i] * y[i];
        s1 += x[i + 1] * y[i + 1];
        s2 += x[i + 2] * y[i + 2];
        s3 += x[i + 3] * y[i + 3];
    }
    for (; i < n; ++i)
        s0 += x[i] * y[i];
    return double(s0) + double(s1) + double(s2) + double(s3);
}

// The loudness that counts as sound: a tenth of the usual RMS of the loud
// 10 ms windows (20 dB down).
double quietBelow(const std::vector<float> &x)
{
    std::vector<double> loud;
    for (size_t at = 0; at + kWindow <= x.size(); at += kWindow) {
        const double rms = std::sqrt(dot(&x[at], &x[at], kWindow) / kWindow);
        if (rms > 1e-4)
            loud.push_back(rms);
    }
    if (loud.empty())
        return 1e-4;
    std::nth_element(loud.begin(), loud.begin() + static_cast<long>(loud.size() * 9 / 10),
                     loud.end());
    return std::max(1e-4, loud[loud.size() * 9 / 10] / 10);
}

struct Match {
    qsizetype rec = 0;
    double place = 0; // in samples of the reference
    double ncc = 0;
    double gain = 0;
};

} // namespace

// One source's band: its reference and the recording filtered alike.
struct HeardDecoder::Band {
    const HeardSource &source;
    int rate;
    std::vector<float> ref;
    std::vector<double> refEnergy; // prefix sums of ref²
    std::vector<float> rec;

    Band(const HeardSource &s, const std::vector<float> &recording, int r)
        : source(s), rate(r), ref(bandOf(s.reference, s.chirp, r)),
          rec(bandOf(recording, s.chirp, r))
    {
        refEnergy.resize(ref.size() + 1);
        for (size_t i = 0; i < ref.size(); ++i)
            refEnergy[i + 1] = refEnergy[i] + double(ref[i]) * ref[i];
    }

    // The best match of the recording's window at `at` to the reference at
    // places `from` to `to` (stepping by `step`, then to the sample).
    Match best(qsizetype at, double from, double to, int step, int length) const
    {
        Match m;
        m.rec = at;
        if (at < 0 || at + length > static_cast<qsizetype>(rec.size()))
            return m;
        const auto last = static_cast<qsizetype>(ref.size()) - length;
        const qsizetype lo =
            std::clamp(static_cast<qsizetype>(std::floor(from)), qsizetype(0), last);
        const qsizetype hi = std::clamp(static_cast<qsizetype>(std::ceil(to)), qsizetype(-1), last);
        const float *x = &rec[static_cast<size_t>(at)];
        const double xx = dot(x, x, length);
        if (xx <= 0 || hi < lo)
            return m;
        const auto nccAt = [&](qsizetype p) {
            const double yy =
                refEnergy[static_cast<size_t>(p + length)] - refEnergy[static_cast<size_t>(p)];
            return yy > 0 ? dot(x, &ref[static_cast<size_t>(p)], length) / std::sqrt(xx * yy) : 0.0;
        };
        qsizetype bestAt = lo;
        double bestNcc = -2;
        for (qsizetype p = lo; p <= hi; p += step) {
            const double c = nccAt(p);
            if (c > bestNcc) {
                bestNcc = c;
                bestAt = p;
            }
        }
        if (step > 1) {
            const qsizetype around = bestAt;
            for (qsizetype p = std::max(lo, around - step + 1);
                 p <= std::min(hi, around + step - 1); ++p) {
                const double c = nccAt(p);
                if (c > bestNcc) {
                    bestNcc = c;
                    bestAt = p;
                }
            }
        }
        // Between samples: the top of a parabola through the best and its neighbours.
        double place = static_cast<double>(bestAt);
        if (bestAt > lo && bestAt < hi) {
            const double l = nccAt(bestAt - 1), r = nccAt(bestAt + 1);
            const double d = l - 2 * bestNcc + r;
            if (d < 0)
                place += std::clamp(0.5 * (l - r) / d, -0.5, 0.5);
        }
        const auto p = static_cast<size_t>(bestAt);
        const double yy = refEnergy[p + length] - refEnergy[p];
        m.place = place;
        m.ncc = bestNcc;
        m.gain = yy > 0 ? dot(x, &ref[p], length) / yy : 0;
        return m;
    }

    // Where in the file the chirp's frequency around `at` says the window
    // is, in samples; none if the band holds no clear tone there.
    std::optional<double> placeFromFrequency(qsizetype at, int size) const
    {
        const Chirp &c = source.chirp;
        std::vector<std::complex<double>> a(static_cast<size_t>(size));
        const qsizetype begin = at + kWide / 2 - size / 2;
        for (int i = 0; i < size; ++i) {
            const qsizetype k = begin + i;
            const double hann = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / size);
            a[static_cast<size_t>(i)] = k >= 0 && k < static_cast<qsizetype>(rec.size())
                                            ? rec[static_cast<size_t>(k)] * hann
                                            : 0.0;
        }
        fft(a);
        const double binHz = double(rate) / size;
        const int lo = std::max(1, static_cast<int>((c.startHz - 30) / binHz));
        const int hi = std::min(size / 2 - 2, static_cast<int>((c.endHz() + 30) / binHz) + 1);
        int peak = -1;
        double peakPower = 0;
        for (int b = lo; b <= hi; ++b) {
            const double pw = std::norm(a[static_cast<size_t>(b)]);
            if (pw > peakPower) {
                peakPower = pw;
                peak = b;
            }
        }
        if (peak < 0 || peakPower <= 0)
            return std::nullopt;
        const double l = std::log(std::norm(a[static_cast<size_t>(peak - 1)]) + 1e-30);
        const double m = std::log(peakPower);
        const double r = std::log(std::norm(a[static_cast<size_t>(peak + 1)]) + 1e-30);
        const double d = l - 2 * m + r;
        const double shift = d < 0 ? std::clamp(0.5 * (l - r) / d, -0.5, 0.5) : 0;
        const double hz = (peak + shift) * binHz;
        const double seconds = std::clamp((hz - c.startHz) / c.hzPerSecond, 0.0, c.seconds);
        return seconds * rate;
    }
};

HeardDecoder::HeardDecoder(std::vector<HeardSource> sources, double speed)
    : m_sources(std::move(sources)), m_speed(speed)
{}

std::vector<HeardSegment> HeardDecoder::decode(const Recording &recording) const
{
    std::vector<HeardSegment> all;
    for (size_t i = 0; i < m_sources.size(); ++i) {
        const std::vector<HeardSegment> some = decodeSource(recording, i);
        all.insert(all.end(), some.begin(), some.end());
    }
    std::sort(all.begin(), all.end(),
              [](const HeardSegment &a, const HeardSegment &b) { return a.recFrom < b.recFrom; });
    return all;
}

std::vector<HeardSegment> HeardDecoder::decodeSource(const Recording &recording, size_t index) const
{
    const HeardSource &source = m_sources[index];
    const int rate = recording.rate;
    if (source.reference.size() < size_t(kWide) * 2 || recording.samples.size() < size_t(kWide))
        return {};
    const Band band(source, recording.samples, rate);
    // Sound is what is loud against the loudest of the recording: the other
    // sources' bands leak into this one far below that.
    const double quiet = quietBelow(recording.samples) / 2;
    const auto n = static_cast<qsizetype>(band.rec.size());
    const auto loud = [&](qsizetype at) {
        if (at < 0 || at + kWindow > n)
            return false;
        const float *x = &band.rec[static_cast<size_t>(at)];
        return std::sqrt(dot(x, x, kWindow) / kWindow) > quiet;
    };
    const int coarseStep = std::max(1, static_cast<int>(rate / (source.chirp.highHz() * 6)));
    const double ms = rate / 1000.0;
    const bool slowed = m_speed < 0.99;
    const double tolerance = slowed ? 45 * ms : 2 * ms;
    const auto longestGap = static_cast<qsizetype>(60 * ms);
    // The window at `at` where playback went on from `from`: at 1.0 the place
    // follows the recording; slowed, a new piece may start anywhere near the
    // average place.
    const auto onwardFrom = [&](const Match &from, qsizetype at) -> std::optional<Match> {
        const double onward = from.place + static_cast<double>(at - from.rec);
        const Match m = band.best(at, onward - 3, onward + 3, 1, kWindow);
        if (m.ncc >= 0.9)
            return m;
        if (!slowed)
            return std::nullopt;
        const double average = from.place + static_cast<double>(at - from.rec) * m_speed;
        const Match w =
            band.best(at, average - tolerance, average + tolerance, coarseStep, kWindow);
        return w.ncc >= 0.9 ? std::optional<Match>(w) : std::nullopt;
    };
    const auto continues = [&](const Match &from, const Match &to) {
        const double expected =
            from.place + static_cast<double>(to.rec - from.rec) * (slowed ? m_speed : 1.0);
        return to.rec - from.rec <= longestGap && std::abs(to.place - expected) <= tolerance;
    };

    // Each run: the windows matched one after the other in continuous
    // playback. A place found by a wide search (from the chirp's frequency)
    // counts once the next window goes on from it.
    std::vector<std::vector<Match>> runs;
    std::vector<Match> run;
    const auto closeRun = [&] {
        if (!run.empty())
            runs.push_back(std::move(run));
        run.clear();
    };
    std::optional<Match> tentative;
    qsizetype nextSearch = 0;
    for (qsizetype at = 0; at + kWindow <= n; at += kHop) {
        if (!loud(at)) {
            closeRun();
            tentative.reset();
            continue;
        }
        std::optional<Match> found;
        if (!run.empty() && at - run.back().rec <= longestGap)
            found = onwardFrom(run.back(), at);
        if (found && !continues(run.back(), *found))
            found.reset();
        if (found) {
            run.push_back(*found);
            tentative.reset();
            continue;
        }
        if (tentative && at - tentative->rec == kHop) {
            if (const std::optional<Match> next = onwardFrom(*tentative, at);
                next && continues(*tentative, *next)) {
                if (run.empty() || !continues(run.back(), *tentative))
                    closeRun();
                run.push_back(*tentative);
                run.push_back(*next);
                tentative.reset();
                continue;
            }
        }
        tentative.reset();
        if (at < nextSearch || at + kWide > n)
            continue;
        if (const std::optional<double> guess = band.placeFromFrequency(at, 4096)) {
            const Match m = band.best(at, *guess - 300 * ms, *guess + 300 * ms, coarseStep, kWide);
            if (m.ncc >= 0.8)
                tentative = m;
        }
        // A search is dear: after one that failed, the next waits 15 ms
        // (the ends are found backwards from the first window placed).
        if (!tentative)
            nextSearch = at + 3 * kHop;
    }
    closeRun();

    // Each run back to its first window, where the search found it late,
    // and its ends to a quarter of a millisecond: as far as the recording
    // goes on matching the file at the rate of 1.0 from the first window
    // backwards and from the last one onwards. The whole sound is compared,
    // and the source's band alone (for where another source sounds too).
    const std::vector<float> &raw = recording.samples;
    constexpr qsizetype block = 44;
    constexpr qsizetype step = 11;
    const auto blockMatches = [&](qsizetype at, double place, double gain) {
        const auto p = static_cast<qsizetype>(std::lround(place));
        if (at < 0 || p < 0 || at + block > n ||
            p + block > static_cast<qsizetype>(band.ref.size()))
            return false;
        for (const bool whole : {true, false}) {
            const std::vector<float> &x = whole ? raw : band.rec;
            const std::vector<float> &ref = whole ? source.reference : band.ref;
            double residual = 0, expected = 0;
            for (qsizetype i = 0; i < block; ++i) {
                const double want = gain * ref[static_cast<size_t>(p + i)];
                const double diff = x[static_cast<size_t>(at + i)] - want;
                residual += diff * diff;
                expected += want * want;
            }
            if (residual < 0.2 * expected + block * 1e-9)
                return true;
        }
        return false;
    };
    const auto reach = static_cast<qsizetype>(150 * ms);
    std::vector<HeardSegment> segments;
    qsizetype previousEnd = 0;
    for (std::vector<Match> &r : runs) {
        for (int misses = 0; misses < 2;) {
            const Match &first = r.front();
            const qsizetype at = first.rec - kHop * (misses + 1);
            if (at < previousEnd || !loud(at))
                break;
            const Match back{
                at, first.place - static_cast<double>(first.rec - at) * (slowed ? m_speed : 1.0), 0,
                0};
            const std::optional<Match> m = onwardFrom(back, at);
            if (m && continues(*m, first)) {
                r.insert(r.begin(), *m);
                misses = 0;
            } else {
                ++misses;
            }
        }
        const Match &first = r.front();
        const Match &last = r.back();
        // A millisecond at a time, a quarter of one apart.
        qsizetype from = first.rec + kWindow - block;
        while (from - step >= previousEnd && first.rec - from < reach &&
               blockMatches(from - step, first.place - static_cast<double>(first.rec - from + step),
                            first.gain))
            from -= step;
        qsizetype to = last.rec + block;
        while (to + step <= n && to - last.rec < reach &&
               blockMatches(to + step - block,
                            last.place + static_cast<double>(to + step - block - last.rec),
                            last.gain))
            to += step;
        HeardSegment s;
        s.source = source.id;
        s.recFrom = from;
        s.recTo = std::max(to, from);
        s.fromNs = recording.nsAt(static_cast<double>(s.recFrom));
        s.toNs = recording.nsAt(static_cast<double>(s.recTo));
        s.placeFrom = (first.place - static_cast<double>(first.rec - s.recFrom)) / rate;
        s.placeTo = (last.place + static_cast<double>(s.recTo - last.rec)) / rate;
        double gain = 0;
        for (const Match &m : r)
            gain += m.gain;
        s.gain = gain / static_cast<double>(r.size());
        segments.push_back(s);
        previousEnd = s.recTo;
    }
    return segments;
}

HeardGap HeardDecoder::gapBetween(const Recording &recording,
                                  const std::vector<HeardSegment> &segments, qsizetype from,
                                  qsizetype to) const
{
    HeardGap gap;
    const double quiet = quietBelow(recording.samples) / 2;
    const int block = recording.rate / 1000;
    const auto n = static_cast<qsizetype>(recording.samples.size());
    for (qsizetype at = std::max<qsizetype>(0, from); at + block <= std::min(n, to); at += block) {
        const bool heard =
            std::any_of(segments.begin(), segments.end(), [&](const HeardSegment &s) {
                return at + block / 2 >= s.recFrom && at + block / 2 < s.recTo;
            });
        if (heard)
            continue;
        const float *x = &recording.samples[static_cast<size_t>(at)];
        if (std::sqrt(dot(x, x, block) / block) > quiet)
            gap.foreignMs += 1;
        else
            gap.quietMs += 1;
    }
    return gap;
}

std::vector<HeardTurn> loopTurns(const HeardDecoder &decoder, const Recording &recording,
                                 const std::vector<HeardSegment> &segments, int source,
                                 qint64 fromNs, double spanFrom, double spanTo, double rate)
{
    std::vector<HeardSegment> mine;
    for (const HeardSegment &s : segments) {
        if (s.source == source && s.fromNs >= fromNs)
            mine.push_back(s);
    }
    // The rounds start near the span's start; whatever is heard between the
    // furthest stretch of one and the start of the next belongs to the turn.
    std::vector<size_t> starts;
    for (size_t i = 0; i < mine.size(); ++i) {
        if (std::abs(mine[i].placeFrom - spanFrom) <= 0.3)
            starts.push_back(i);
    }
    std::vector<HeardTurn> turns;
    for (size_t k = 0; k + 1 < starts.size(); ++k) {
        size_t furthest = starts[k];
        for (size_t i = starts[k]; i < starts[k + 1]; ++i) {
            if (mine[i].placeTo > mine[furthest].placeTo)
                furthest = i;
        }
        const HeardSegment &end = mine[furthest];
        const HeardSegment &next = mine[starts[k + 1]];
        const HeardGap gap = decoder.gapBetween(recording, segments, end.recTo, next.recFrom);
        HeardTurn turn;
        turn.lostEndMs = (spanTo - end.placeTo) * 1000;
        turn.gapMs = static_cast<double>(next.fromNs - end.toNs) / 1e6;
        turn.quietMs = gap.quietMs;
        turn.foreignMs = gap.foreignMs;
        for (size_t i = furthest + 1; i < starts[k + 1]; ++i)
            turn.foreignMs += mine[i].ms();
        turn.skippedStartMs = (next.placeFrom - spanFrom) * 1000;
        if (k > 0)
            turn.roundErrorMs =
                static_cast<double>(next.fromNs - mine[starts[k]].fromNs) / 1e6 * rate -
                (spanTo - spanFrom) * 1000;
        turns.push_back(turn);
    }
    return turns;
}

} // namespace syj::test
