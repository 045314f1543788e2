// CLogEdit: appending and trimming lines, and the URL lines' double click and menu.
#include "gui/log/log_edit.h"

#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QMenu>
#include <QScrollBar>
#include <QTextBlock>

#include <string>

#include "core/engine/log_lines.h"
#include "gui/platform/message_box.h"
#include "gui/platform/web_url.h"

namespace pelldra {

CLogEdit::CLogEdit(QWidget* parent)
    : QPlainTextEdit(parent), opener_([](const QUrl& url) { QDesktopServices::openUrl(url); })
{
    setReadOnly(true);
    // A log only grows; an undo history of it would grow with it for nothing.
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

void CLogEdit::Init()
{
    clear();
    setEnabled(false);
}

void CLogEdit::BeginRun()
{
    setEnabled(true);
    clear();
}

void CLogEdit::AppendLine(const QString& text)
{
    if (LineCount() >= kLogMaxLines) {
        QTextCursor older(document());
        older.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, kLogKeepFromLine);
        older.removeSelectedText();
    }
    appendPlainText(text);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void CLogEdit::AppendLine(std::string_view utf8)
{
    AppendLine(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

int CLogEdit::LineCount() const
{
    return document()->isEmpty() ? 0 : document()->blockCount();
}

QString CLogEdit::Line(int i) const
{
    return document()->findBlockByNumber(i).text();
}

QMenu* CLogEdit::CreateLineMenu(const QPoint& viewportPos)
{
    const QTextBlock block = cursorForPosition(viewportPos).block();
    QTextCursor line(block);
    line.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    setTextCursor(line);
    ensureCursorVisible();
    const QString text = block.text();
    if (!IsUrlLine(text.toStdString()))
        return nullptr;

    auto* menu = new QMenu(this);
    const bool web = !WebUrlOfLine(text).isEmpty();
    QAction* view = menu->addAction(QStringLiteral("LinkScoutで見る"), this, [this, text] { OpenLine(text); });
    // The page gets the line's own text, escaped there, just as the line shows it.
    QAction* image = menu->addAction(QStringLiteral("画像チェック"), this, [this, text] {
        if (!WebUrlOfLine(text).isEmpty())
            CheckImage(QString::fromStdString(UrlOfLine(text.toStdString())));
    });
    // Only http(s) URLs are ever opened, so the commands are offered for those alone.
    view->setEnabled(web);
    image->setEnabled(web);
    return menu;
}

void CLogEdit::mouseDoubleClickEvent(QMouseEvent* event)
{
    QPlainTextEdit::mouseDoubleClickEvent(event);
    OpenLine(textCursor().block().text());
}

void CLogEdit::contextMenuEvent(QContextMenuEvent* event)
{
    if (QMenu* menu = CreateLineMenu(event->pos())) {
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(event->globalPos());
    }
}

void CLogEdit::OpenLine(const QString& line)
{
    const QUrl url = WebUrlOfLine(line);
    if (!url.isEmpty() && opener_)
        opener_(url);
}

void CLogEdit::CheckImage(const QString& url)
{
    if (url.isEmpty())
        return;
    std::string path;
    const Result written = WriteImageTestPage(url.toStdString(), path);
    if (!written.ok()) {
        ShowMessage(window(), QString::fromStdString(written.message));
        return;
    }
    if (opener_)
        opener_(QUrl::fromLocalFile(QString::fromStdString(path)));
}

} // namespace pelldra
