// Hearing what the players really play: a private sound server whose only
// output is a null sink, a recorder of that sink, and the frequency of a tone
// in the recorded samples. Needs pulseaudio and pulseaudio-utils (parec).
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace syj::test {

// A PulseAudio server of this process's own, with one null sink as the
// default output. Start it before the first player is made: the players find
// it through PULSE_SERVER, which start() sets for this process.
//
// A null sink that nobody listens to renders two seconds at a time, and a
// stream that joins it waits for the block to end: a sound card plays in
// small blocks. So a listener stays on the sink's monitor while the server
// runs, and start() returns once the sink plays in small blocks.
class NullSinkServer
{
public:
    NullSinkServer() = default;
    ~NullSinkServer();
    NullSinkServer(const NullSinkServer &) = delete;
    NullSinkServer &operator=(const NullSinkServer &) = delete;

    bool start();
    bool isRunning() const { return m_server.state() == QProcess::Running; }
    // Why start() failed.
    QString error() const { return m_error; }
    QString serverAddress() const;
    // The source that hears everything the null sink plays.
    static QString monitorSource();

private:
    bool listen();

    QTemporaryDir m_dir;
    QProcess m_server;
    QProcess m_listener;
    QString m_error;
};

// The server a whole test program plays through: started at the first call,
// which must come before any player is made, and stopped at the program's
// end. Without one the program ends at once, saying why: the tests that use
// it are about what is heard.
NullSinkServer &processNullSink();

// Records the null sink's monitor: signed 16-bit mono samples at 44.1 kHz.
class SinkRecorder
{
public:
    static constexpr int kRate = 44100;
    ~SinkRecorder();
    bool start(const NullSinkServer &server);
    QByteArray stop();

private:
    QTemporaryDir m_dir;
    QProcess m_parec;
};

// The frequency in Hz of the tone in the samples (16-bit mono), from the
// usual period between the rising zero crossings of their loud part; 0 when
// there is no tone.
double toneFrequency(const QByteArray &samples, int rate);

// The loudest sample's level, 0 to 1 of full scale.
double peakLevel(const QByteArray &samples);

// Seconds from the first to the last loud sample (above a third of the
// loudest); 0 for silence.
double loudSeconds(const QByteArray &samples, int rate);

} // namespace syj::test
