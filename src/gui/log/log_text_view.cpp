// LogTextView: appending followed lines in one insertion, the marks, search, and opening URL lines.
#include "gui/log/log_text_view.h"

#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>

#include "gui/platform/web_url.h"

namespace pelldra {

namespace {

const QColor kFailureBackground(255, 226, 226);
const QColor kFailureText(160, 0, 0);
const QColor kGutterBackground(242, 242, 242);
const QColor kLineNumber(140, 140, 140);

class Gutter final : public QWidget
{
public:
    explicit Gutter(LogTextView* view) : QWidget(view), view_(view) {}

protected:
    void paintEvent(QPaintEvent* event) override { view_->PaintGutter(event); }

private:
    LogTextView* view_;
};

// The failure mark: a white cross on a red disc.
void PaintFailureMark(QPainter& p, const QRectF& r)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(208, 32, 32));
    p.drawEllipse(r);
    p.setPen(QPen(Qt::white, qMax(1.5, r.width() / 7)));
    const qreal m = r.width() * 0.3;
    p.drawLine(r.topLeft() + QPointF(m, m), r.bottomRight() - QPointF(m, m));
    p.drawLine(r.topRight() + QPointF(-m, m), r.bottomLeft() + QPointF(m, -m));
    p.restore();
}

} // namespace

LogTextView::LogTextView(QWidget* parent) : QPlainTextEdit(parent), gutter_(new Gutter(this))
{
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    connect(this, &QPlainTextEdit::updateRequest, this, &LogTextView::UpdateGutter);
    setViewportMargins(GutterWidth(), 0, 0, 0);
}

void LogTextView::Clear()
{
    clear();
    marker_ = FailureMarker();
    lineCount_ = 0;
    failures_ = 0;
    tailShown_ = false;
    setViewportMargins(GutterWidth(), 0, 0, 0);
}

void LogTextView::Show(const LogUpdate& update)
{
    if (!update.changed)
        return;
    QScrollBar* bar = verticalScrollBar();
    const bool follow = update.restarted || lineCount_ == 0 || bar->value() >= bar->maximum();
    if (update.restarted)
        Clear();
    RemoveTail();

    QStringList texts;
    texts.reserve(static_cast<qsizetype>(update.lines.size()) + 1);
    for (const std::string& line : update.lines)
        texts << QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
    if (!update.tail.empty())
        texts << QString::fromUtf8(update.tail.data(), static_cast<qsizetype>(update.tail.size()));
    const int first = lineCount_;
    if (!texts.isEmpty())
        AppendText(texts.join(QLatin1Char('\n')), first);
    lineCount_ += static_cast<int>(texts.size());
    tailShown_ = !update.tail.empty();

    // Only the complete lines are marked: the marker reads each line once.
    QTextBlock block = document()->findBlockByNumber(first);
    for (const std::string& line : update.lines) {
        const LogLineKind kind = marker_.Next(line);
        if (kind != LogLineKind::Plain) {
            block.setUserState(static_cast<int>(kind));
            QTextCursor cursor(block);
            QTextBlockFormat background;
            background.setBackground(kFailureBackground);
            cursor.mergeBlockFormat(background);
            cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
            QTextCharFormat text;
            text.setForeground(kFailureText);
            if (kind == LogLineKind::Failure) {
                text.setFontWeight(QFont::Bold);
                ++failures_;
            }
            cursor.mergeCharFormat(text);
        }
        block = block.next();
    }

    setViewportMargins(GutterWidth(), 0, 0, 0);
    gutter_->update();
    if (follow)
        bar->setValue(bar->maximum());
}

void LogTextView::AppendText(const QString& text, int firstNewLine)
{
    if (firstNewLine == 0) {
        setPlainText(text); // the quickest way to a large log's first screen
        return;
    }
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    // Plain formats, or the new lines would take on the marks of the line above them.
    cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    cursor.insertText(text, QTextCharFormat());
}

void LogTextView::RemoveTail()
{
    if (!tailShown_)
        return;
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
    if (cursor.blockNumber() > 0)
        cursor.movePosition(QTextCursor::PreviousCharacter, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    --lineCount_;
    tailShown_ = false;
}

QString LogTextView::Line(int i) const
{
    return i >= 0 && i < lineCount_ ? document()->findBlockByNumber(i).text() : QString();
}

LogLineKind LogTextView::KindOf(int line) const
{
    const int state = document()->findBlockByNumber(line).userState();
    return state < 0 ? LogLineKind::Plain : static_cast<LogLineKind>(state);
}

int LogTextView::CurrentLine() const
{
    return textCursor().blockNumber();
}

bool LogTextView::Find(const QString& text, bool backward)
{
    if (text.isEmpty())
        return false;
    const QTextDocument::FindFlags flags = backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    if (find(text, flags))
        return true;
    const QTextCursor before = textCursor();
    QTextCursor wrapped(document());
    wrapped.movePosition(backward ? QTextCursor::End : QTextCursor::Start);
    setTextCursor(wrapped);
    if (find(text, flags))
        return true;
    setTextCursor(before);
    return false;
}

bool LogTextView::GoToFailure(bool backward)
{
    if (failures_ == 0)
        return false;
    const int from = CurrentLine();
    for (int step = 1; step <= lineCount_; ++step) {
        const int line = ((backward ? from - step : from + step) % lineCount_ + lineCount_) % lineCount_;
        if (KindOf(line) == LogLineKind::Failure) {
            SelectLine(line);
            return true;
        }
    }
    return false;
}

void LogTextView::SelectLine(int line)
{
    QTextCursor cursor(document()->findBlockByNumber(line));
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    setTextCursor(cursor);
    centerCursor();
}

bool LogTextView::OpenUrlOfLine(int line)
{
    const QUrl url = WebUrlOfLine(Line(line));
    return !url.isEmpty() && QDesktopServices::openUrl(url);
}

void LogTextView::mouseDoubleClickEvent(QMouseEvent* event)
{
    QPlainTextEdit::mouseDoubleClickEvent(event);
    OpenUrlOfLine(cursorForPosition(event->position().toPoint()).blockNumber());
}

void LogTextView::contextMenuEvent(QContextMenuEvent* event)
{
    const int line = cursorForPosition(event->pos()).blockNumber();
    QMenu menu(this);
    QAction* open = menu.addAction(QStringLiteral("ブラウザーで開く"), this, [this, line] { OpenUrlOfLine(line); });
    open->setEnabled(!WebUrlOfLine(Line(line)).isEmpty());
    menu.addSeparator();
    QAction* copyAction = menu.addAction(QStringLiteral("コピー"), QKeySequence::Copy, this, &QPlainTextEdit::copy);
    copyAction->setEnabled(textCursor().hasSelection());
    menu.addAction(QStringLiteral("すべて選択"), QKeySequence::SelectAll, this, &QPlainTextEdit::selectAll);
    menu.exec(event->globalPos());
}

int LogTextView::GutterWidth() const
{
    const int digits = static_cast<int>(QString::number(qMax(1, lineCount_)).size());
    return 8 + fontMetrics().horizontalAdvance(QLatin1Char('9')) * qMax(3, digits) + fontMetrics().height() + 4;
}

void LogTextView::PaintGutter(QPaintEvent* event)
{
    QPainter p(gutter_);
    p.fillRect(event->rect(), kGutterBackground);
    const int height = fontMetrics().height();
    const int numberRight = gutter_->width() - height - 6;
    QTextBlock block = firstVisibleBlock();
    qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
    while (block.isValid() && top <= event->rect().bottom()) {
        const qreal bottom = top + blockBoundingRect(block).height();
        if (block.blockNumber() < lineCount_ && bottom >= event->rect().top()) {
            p.setPen(kLineNumber);
            p.drawText(QRectF(0, top, numberRight, height), Qt::AlignRight | Qt::AlignVCenter,
                       QString::number(block.blockNumber() + 1));
            if (block.userState() == static_cast<int>(LogLineKind::Failure))
                PaintFailureMark(p, QRectF(numberRight + 4, top + 2, height - 4, height - 4));
        }
        block = block.next();
        top = bottom;
    }
}

void LogTextView::resizeEvent(QResizeEvent* event)
{
    QPlainTextEdit::resizeEvent(event);
    const QRect r = contentsRect();
    gutter_->setGeometry(r.left(), r.top(), GutterWidth(), r.height());
}

void LogTextView::UpdateGutter(const QRect& rect, int dy)
{
    if (dy != 0)
        gutter_->scroll(0, dy);
    else
        gutter_->update(0, rect.y(), gutter_->width(), rect.height());
    const QRect r = contentsRect();
    if (gutter_->width() != GutterWidth())
        gutter_->setGeometry(r.left(), r.top(), GutterWidth(), r.height());
}

} // namespace pelldra
