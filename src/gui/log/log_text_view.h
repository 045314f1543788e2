// LogTextView: a log's lines with line numbers and failure marks in a gutter; job URLs open in the browser.
#pragma once

#include <QPlainTextEdit>

#include "core/engine/log_follower.h"
#include "core/engine/log_lines.h"

namespace pelldra {

class LogTextView final : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit LogTextView(QWidget* parent);
    LogTextView(const LogTextView&) = delete;
    LogTextView& operator=(const LogTextView&) = delete;

    // Shows what a follower read: everything afresh when it restarted, else the new lines below the others. The
    // view stays at the bottom when it was there, so a growing log scrolls along unless the user scrolled away.
    void Show(const LogUpdate& update);
    void Clear();

    int LineCount() const { return lineCount_; }
    QString Line(int i) const;
    LogLineKind KindOf(int line) const;
    int FailureCount() const { return failures_; }
    int CurrentLine() const;

    // Selects the next (or previous) line holding the text, wrapping at the ends; false when no line holds it.
    bool Find(const QString& text, bool backward);
    // Selects the next (or previous) failure line, wrapping; false when there is none.
    bool GoToFailure(bool backward);
    // Opens the line's URL with the desktop's handler when it is an http(s) URL.
    bool OpenUrlOfLine(int line);

    // For the gutter.
    int GutterWidth() const;
    void PaintGutter(QPaintEvent* event);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void AppendText(const QString& text, int firstNewLine);
    void RemoveTail();
    void SelectLine(int line);
    void UpdateGutter(const QRect& rect, int dy);

    QWidget* gutter_ = nullptr;
    FailureMarker marker_;
    int lineCount_ = 0;
    int failures_ = 0;
    bool tailShown_ = false;
};

} // namespace pelldra
