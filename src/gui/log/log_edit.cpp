// CLogEdit: appending and trimming lines, and the URL lines' double click and menu.
#include "gui/log/log_edit.h"

#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QMenu>
#include <QScrollBar>
#include <QTextBlock>

#include <algorithm>
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
    AppendTexts({text});
}

void CLogEdit::AppendLine(std::string_view utf8)
{
    AppendTexts({QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()))});
}

void CLogEdit::AppendLines(const std::vector<std::string>& lines)
{
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(lines.size()));
    for (const std::string& line : lines)
        texts << QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
    AppendTexts(texts);
}

void CLogEdit::AppendTexts(const QStringList& texts)
{
    if (texts.isEmpty())
        return;
    const int shown = LineCount();
    const int added = static_cast<int>(texts.size());
    const int dropped = shown + added - LogLinesKept(shown, added);
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    if (dropped >= shown) {
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    } else {
        cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, dropped);
    }
    cursor.removeSelectedText();
    cursor.movePosition(QTextCursor::End);
    if (!document()->isEmpty())
        cursor.insertBlock();
    // When the batch alone is longer than the window holds, its own first lines go too.
    const qsizetype skipped = std::max(0, dropped - shown);
    cursor.insertText(texts.mid(skipped).join(QLatin1Char('\n')));
    cursor.endEditBlock();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
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
    // Only http(s) URLs are ever opened, so a menu for any other line (a message that starts without blanks, too)
    // would offer nothing.
    if (WebUrlOfLine(text).isEmpty())
        return nullptr;

    auto* menu = new QMenu(this);
    menu->addAction(QStringLiteral("LinkScoutで見る"), this, [this, text] { OpenLine(text); });
    // The page gets the line's own text, escaped there, just as the line shows it.
    menu->addAction(QStringLiteral("画像チェック"), this,
                    [this, text] { CheckImage(QString::fromStdString(UrlOfLine(text.toStdString()))); });
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
