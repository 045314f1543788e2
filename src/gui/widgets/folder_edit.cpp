// The save-folder edit.
#include "gui/widgets/folder_edit.h"

#include "core/platform/folders.h"
#include "gui/platform/message_box.h"

namespace pelldra {

CFolder::CFolder(QWidget* parent) : QLineEdit(parent) {}

QString CFolder::TrimFolderText(const QString& text)
{
    // A pasted folder often brings blanks along at either end.
    qsizetype begin = 0;
    while (begin < text.size() && text[begin].isSpace())
        ++begin;
    qsizetype end = text.size();
    while (end > begin && text[end - 1].isSpace())
        --end;
    const qsizetype afterSpaces = end;
    while (end > begin && (text[end - 1] == QLatin1Char('/') || text[end - 1] == QLatin1Char('\\')))
        --end;
    // The root folder is a folder too: trimming must not turn "/" into "no folder given".
    if (end == begin && afterSpaces > begin && text[begin] == QLatin1Char('/'))
        return QStringLiteral("/");
    return text.mid(begin, end - begin);
}

void CFolder::SetFolder(const QString& path)
{
    folder_ = path.isEmpty() ? QString::fromStdString(GetHomeFolder()) : path;
    setText(folder_);
}

int CFolder::GetFolder(QString& out, bool& changed)
{
    out = TrimFolderText(text());
    // An empty text is always checked: a control that never held a folder must not pass "" as the folder.
    if (out == folder_ && !out.isEmpty()) {
        changed = false;
        return 0;
    }
    changed = true;
    std::string checked = out.toStdString();
    const int code = CheckFolder(checked);
    if (code == 0)
        folder_ = out;
    else
        out = QString::fromStdString(checked);
    return code;
}

int CFolder::Browse()
{
    const QString chosen = ChooseFolder(parentWidget(), TrimFolderText(text()));
    if (chosen.isEmpty())
        return -1;
    setText(chosen);
    return 0;
}

QString CFolder::TakeForStore()
{
    folder_ = text();
    return folder_;
}

} // namespace pelldra
