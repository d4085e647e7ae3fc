// The Qt file dialog behind the shared file dialog's requests.
#pragma once

#include "sheet/platformtools.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace syj {

// One filter entry of a filter string.
struct FileFilterEntry {
    QString description;
    QString pattern;
};

// Splits "desc|pattern|desc|pattern|" into entries (a trailing "|" is allowed).
QList<FileFilterEntry> parseFileFilter(const QString &filter);

// The patterns of a filter entry as Qt name-filter wildcards: "*.*" matches
// every file, names without a dot included.
QStringList qtWildcards(const QString &pattern);

// A (non-native) QFileDialog set up from a request. It remembers the folder of
// the last chosen file for the next dialog.
class QtFileDialog
{
public:
    // The chosen full path, or no value when the user cancelled.
    std::optional<QString> run(QWidget *parent, const FileDialogRequest &request);

private:
    QString m_lastFolder;
};

} // namespace syj
