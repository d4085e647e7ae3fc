#include "support/scripted.h"

#include <QFile>
#include <QStringEncoder>

using namespace Qt::StringLiterals;

namespace syj::test {

std::optional<QString> ScriptedFileDialog::run(const FileDialogRequest &request)
{
    shown.append(request);
    if (answers.empty())
        return std::nullopt;
    std::optional<QString> a = answers.front();
    answers.pop_front();
    if (afterAnswer)
        afterAnswer();
    return a;
}

MsgResult ScriptedMessageBox::show(const MessageBoxRequest &request)
{
    shown.append(request);
    if (!answers.empty()) {
        const MsgResult r = answers.front();
        answers.pop_front();
        return r;
    }
    switch (request.buttons) {
    case MsgButtons::Ok:
        return MsgResult::Ok;
    case MsgButtons::RetryCancel:
        return MsgResult::Retry;
    case MsgButtons::SaveDiscardCancel:
        return MsgResult::Save;
    case MsgButtons::RestoreDiscard:
        return MsgResult::Restore;
    }
    return MsgResult::Ok;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

QByteArray gbk(const QString &text)
{
    QStringEncoder enc("GB18030");
    return enc.encode(text);
}

} // namespace syj::test
