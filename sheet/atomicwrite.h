// Writing a file so that it is either the old one or the whole new one: the
// lyric save and the recovery copy both write this way, and both give the
// same reasons, in the program's words, when they cannot.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace syj {

// Writes `bytes` to `path` through a temporary file beside it that takes the
// old file's name only once it is whole on disk. On failure the old file is
// untouched and the reason is returned.
std::optional<QString> writeFileAtomically(const QString &path, const QByteArray &bytes);

// The system's reason for a failed file call (an errno value), in the words
// of the program's messages.
QString systemReason(int code);

} // namespace syj
