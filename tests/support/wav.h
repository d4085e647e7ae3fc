#pragma once

#include <QString>
#include <utility>
#include <vector>

namespace syj::test {

// Writes samples (-1 to 1) as a 16-bit mono PCM WAV file.
bool writePcmWav(const QString &path, const std::vector<float> &samples, int sampleRate);

// Writes a 16-bit mono PCM WAV file holding a sine tone of the given length,
// silent in the `quiet` spans (seconds from, to). Returns false if the file
// cannot be written or the arguments make no sense.
bool writeToneWav(const QString &path, double seconds, int sampleRate = 8000, double freq = 440,
                  const std::vector<std::pair<double, double>> &quiet = {});

// Writes an MP3 of silence: MPEG-1 Layer III frames, 48 kHz mono at a constant
// 128 kbit/s, with no header giving the length up front, so a player has to
// work the length out as it plays (as with many real MP3 files).
bool writeSilentMp3(const QString &path, double seconds);

// Encodes a WAV file as MP3 with GStreamer's LAME encoder (gst-launch-1.0 of
// gstreamer1.0-tools, lamemp3enc of gstreamer1.0-plugins-good). False when the
// encoder is missing or fails.
bool encodeMp3(const QString &wav, const QString &mp3);

// Writes bytes that only look like a media file by name: a RIFF header that
// promises audio and then breaks off, followed by noise.
bool writeGarbageFile(const QString &path);

} // namespace syj::test
