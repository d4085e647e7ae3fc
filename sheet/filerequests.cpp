#include "sheet/filerequests.h"

using namespace Qt::StringLiterals;

namespace syj {

FileDialogRequest FileRequests::requestFor(Kind kind) const
{
    FileDialogRequest request;
    request.dialogTitle = m_title;
    request.defaultExt = m_defaultExt;
    request.filterIndex = m_filterIndex;
    if (kind == Kind::SaveLyrics) {
        request.mode = FileDialogRequest::Mode::Save;
        request.options = FileOption::AskBeforeReplacing | FileOption::PathMustExist;
        request.filter = u"歌词文件(*.lrc)|*.lrc|All files(*.*)|*.*"_s;
        request.defaultExt = u"lrc"_s;
        request.dialogTitle = u"保存文本"_s;
        request.filterIndex = 1;
    } else {
        request.mode = FileDialogRequest::Mode::Open;
        request.options = FileOption::FileMustExist;
        request.filter = u"音乐文件(*.*)|*.*|"_s;
    }
    return request;
}

QString FileRequests::choose(Kind kind)
{
    const FileDialogRequest request = requestFor(kind);
    if (kind == Kind::SaveLyrics) {
        m_title = request.dialogTitle;
        m_defaultExt = request.defaultExt;
        m_filterIndex = request.filterIndex;
    }
    return m_tools.runFileDialog(request).value_or(QString());
}

void showNoFileChosen(PlatformTools &tools)
{
    messageBox(tools, u"没有找到文件"_s, MsgButtons::RetryCancel, MsgIcon::Question, u"检查"_s);
}

} // namespace syj
