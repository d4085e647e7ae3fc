// The program's command line: `shengyunjian [文件]`.
//
// The file is opened as if it had been chosen in 打开原唱歌词: a song file, or
// its lyric file itself; a path relative to the current folder, or a file://
// URI as some file managers pass it. --help and --version answer on the
// terminal and the window does not open. Anything else (a second file, an
// option the program does not know) is told to the user in a box and is
// otherwise ignored.
#pragma once

#include <QString>
#include <QStringList>

namespace syj {

class Form1;
class PlatformTools;

class CommandLine
{
public:
    // The arguments as QCoreApplication::arguments() gives them, the program
    // first. Relative paths are taken from the current folder.
    explicit CommandLine(const QStringList &arguments);

    // What --help or --version prints; empty when neither was given.
    QString terminalAnswer() const { return m_terminalAnswer; }

    // The file to open, as an absolute path; empty when none was named.
    QString file() const { return m_file; }
    // The file was named as a URI of another computer or of the web.
    QString remoteAddress() const { return m_remoteAddress; }
    // What was given but is not used, to tell the user; empty when nothing.
    QString ignored() const { return m_ignored; }

private:
    void takeFile(const QString &argument);

    QString m_terminalAnswer;
    QString m_file;
    QString m_remoteAddress;
    QString m_ignored;
};

// Prints the answer to --help or --version, given as main() has its
// arguments (before there is an application object, so that no display is
// needed); false when there is none and the window should open.
bool answerOnTerminal(int argc, char **argv);

// Tells the user what the command line held that is not used, then opens its
// file in the window as 打开原唱歌词 opens a chosen one, with the same
// messages for a file that cannot be opened.
void openFromCommandLine(Form1 &form, PlatformTools &tools, const CommandLine &commandLine);

// The same, once the window is up and the program's event loop runs.
void openFromCommandLineWhenShown(Form1 &form, PlatformTools &tools,
                                  const CommandLine &commandLine);

} // namespace syj
