#include "sheet/commondialog.h"

using namespace Qt::StringLiterals;

namespace syj {

void CommonDialog::setAction(int action)
{
    if (action != 1 && action != 2)
        return;
    FileDialogRequest request = m_request;
    request.mode = action == 1 ? FileDialogRequest::Mode::Open : FileDialogRequest::Mode::Save;
    if (const std::optional<QString> chosen = m_tools.runFileDialog(request))
        m_request.fileName = *chosen;
}

QString askOpenFile(CommonDialog &dialog)
{
    dialog.setFileName(QString());
    dialog.setFlags(cdlOFNFileMustExist);
    dialog.setFilter(u"音乐文件(*.*)|*.*|"_s);
    dialog.setAction(1);
    return dialog.FileName();
}

QString askSaveFile(CommonDialog &dialog)
{
    dialog.setDefaultExt(u"lrc"_s);
    dialog.setFileName(QString());
    dialog.setFilter(u"歌词文件(*.lrc)|*.lrc|All files(*.*)|*.*"_s);
    dialog.setProperty23(1);
    dialog.setDialogTitle(u"保存文本"_s);
    dialog.setFlags(cdlOFNOverwritePrompt | cdlOFNPathMustExist);
    dialog.setAction(2);
    return dialog.FileName();
}

void showNoFileChosen(PlatformTools &tools)
{
    messageBox(tools, u"没有找到文件"_s, MsgButtons::RetryCancel, MsgIcon::Question, u"检查"_s);
}

} // namespace syj
