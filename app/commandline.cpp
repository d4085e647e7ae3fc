#include "app/commandline.h"

#include "app/form1.h"
#include "sheet/platformtools.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <QTimer>
#include <QUrl>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace syj {

namespace {

const QString kUsage = u"用法：shengyunjian [文件]"_s;

QString helpText()
{
    return kUsage + u"\n\n"
                    "为翻唱填词：对照原曲字数写新歌词。\n\n"
                    "  文件           像在“打开原唱歌词”里选中它一样打开：歌曲文件（读取同一\n"
                    "                 文件夹里同名的 .lrc 歌词文件）或者 .lrc 歌词文件本身，\n"
                    "                 也可以是 file:// 开头的地址。\n"
                    "  -h, --help     显示这段说明\n"
                    "  -v, --version  显示版本\n"_s;
}

QString versionText()
{
    return u"声韵笺（shengyunjian）%1\n"_s.arg(QStringLiteral(SYJ_VERSION));
}

// An option as the user typed it: QCommandLineParser reports its name alone.
QString typedOption(const QString &name, const QStringList &arguments)
{
    const QString longForm = u"--"_s + name;
    for (const QString &argument : arguments) {
        if (argument == longForm || argument.startsWith(longForm + u'='))
            return argument;
    }
    return u"-"_s + name;
}

} // namespace

CommandLine::CommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    // "-abc" is one unknown option, not the three options a, b and c.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{u"h"_s, u"help"_s});
    const QCommandLineOption version(QStringList{u"v"_s, u"version"_s});
    parser.addOption(help);
    parser.addOption(version);
    const bool understood = parser.parse(arguments);

    if (parser.isSet(help)) {
        m_terminalAnswer = helpText();
        return;
    }
    if (parser.isSet(version)) {
        m_terminalAnswer = versionText();
        return;
    }

    QStringList files = parser.positionalArguments();
    files.removeAll(QString());
    if (!files.isEmpty())
        takeFile(files.takeFirst());

    QStringList lines;
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty()) {
        QStringList typed;
        for (const QString &name : unknown)
            typed << typedOption(name, arguments);
        lines << u"不认识的选项：%1"_s.arg(typed.join(u"  "_s));
    } else if (!understood) {
        // An option with a value it does not take ("--help=x").
        lines << u"有看不懂的选项。"_s;
    }
    if (!files.isEmpty())
        lines << u"一次只能打开一个文件，这些没有打开：\n%1"_s.arg(files.join(u'\n'));
    if (!lines.isEmpty())
        m_ignored = u"命令行里有声韵笺用不上的内容，已经略过：\n\n%1\n\n%2"_s.arg(
            lines.join(u"\n\n"_s), kUsage);
}

void CommandLine::takeFile(const QString &argument)
{
    if (argument.startsWith(u"file:"_s, Qt::CaseInsensitive)) {
        const QUrl url(argument);
        if (url.isValid() && url.isLocalFile()) {
            m_file = QFileInfo(url.toLocalFile()).absoluteFilePath();
            return;
        }
    }
    // Any other address ("http://…", "smb://…") names no file on this computer.
    if (argument.contains(u"://"_s)) {
        m_remoteAddress = argument;
        return;
    }
    m_file = QFileInfo(argument).absoluteFilePath();
}

bool answerOnTerminal(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const QString answer = CommandLine(arguments).terminalAnswer();
    if (answer.isEmpty())
        return false;
    QTextStream(stdout) << answer;
    return true;
}

void openFromCommandLine(Form1 &form, PlatformTools &tools, const CommandLine &commandLine)
{
    if (!commandLine.ignored().isEmpty())
        messageBox(tools, commandLine.ignored(), MsgButtons::Ok, MsgIcon::Information);
    if (!commandLine.remoteAddress().isEmpty()) {
        messageBox(tools,
                   u"声韵笺只能打开这台电脑上的文件，不能打开这个地址：\n%1"_s.arg(
                       commandLine.remoteAddress()),
                   MsgButtons::Ok, MsgIcon::Warning);
        return;
    }
    const QString file = commandLine.file();
    if (file.isEmpty())
        return;
    if (QFileInfo(file).isDir()) {
        messageBox(tools,
                   u"这是一个文件夹，不是文件：\n%1\n\n请给出歌曲文件或者 .lrc 歌词文件。"_s.arg(
                       QDir::toNativeSeparators(file)),
                   MsgButtons::Ok, MsgIcon::Warning);
        return;
    }
    form.openFromOutside(file);
}

void openFromCommandLineWhenShown(Form1 &form, PlatformTools &tools, const CommandLine &commandLine)
{
    // Queued: the window is painted first, and its boxes have a window to
    // stand over.
    QTimer::singleShot(
        0, &form, [&form, &tools, commandLine] { openFromCommandLine(form, tools, commandLine); });
}

} // namespace syj
