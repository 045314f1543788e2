// CUrlEdit: typing, pasting and the coloured marks of the URL box.
#include "gui/widgets/url_edit.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSyntaxHighlighter>
#include <QTextBlock>

#include <algorithm>
#include <array>
#include <string>
#include <utility>

#include "core/sequence/seq_url.h"
#include "gui/platform/message_box.h"

namespace pelldra {

namespace {

constexpr char kStarRefused[] = "ＵＲＬに＊は使えません";

// CSeqUrl counts bytes of UTF-8; the document counts UTF-16 units. Digits are ASCII, so a field's edges always fall
// between characters.
int Utf16Position(const std::string& utf8, int bytePos)
{
    const qsizetype n = std::clamp<qsizetype>(bytePos, 0, static_cast<qsizetype>(utf8.size()));
    return static_cast<int>(QString::fromUtf8(utf8.data(), n).size());
}

// The URL object holds the text without its leading blanks (as the core counts them), so its positions start this
// many UTF-16 units into the box's text.
int LeadingBlanks(const QString& text)
{
    int n = 0;
    while (n < text.size() && QStringLiteral(" \t\r\n\v\f").contains(text[n]))
        ++n;
    return n;
}

// The first line of a pasted or dropped text: a one-line box takes no line breaks.
QString FirstLine(const QString& text)
{
    static const QRegularExpression breaks(QStringLiteral("[\\r\\n\\x{2028}\\x{2029}]"));
    const QStringList lines = text.split(breaks, Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        if (!line.trimmed().isEmpty())
            return line;
    }
    return {};
}

} // namespace

// Draws the marks as layout formats over the text. Unlike character formats they are no edit of the document: they
// neither enter the undo history nor count as a change of the text, and redrawing costs one pass over one line.
class CUrlEdit::Marks final : public QSyntaxHighlighter
{
public:
    struct Mark
    {
        int start = 0;
        int end = 0;
        QColor colour;
    };

    explicit Marks(QTextDocument* document) : QSyntaxHighlighter(document) {}

    void SetMarks(std::array<Mark, 2> marks) { marks_ = marks; }

protected:
    void highlightBlock(const QString& text) override
    {
        // Only the first block is the URL; the box never holds another.
        if (currentBlock().blockNumber() != 0)
            return;
        for (const Mark& mark : marks_) {
            const int start = std::min<int>(mark.start, static_cast<int>(text.size()));
            const int end = std::min<int>(mark.end, static_cast<int>(text.size()));
            if (end <= start)
                continue;
            QTextCharFormat format;
            format.setForeground(mark.colour);
            format.setFontWeight(QFont::Bold);
            format.setFontUnderline(true);
            setFormat(start, end - start, format);
        }
    }

private:
    std::array<Mark, 2> marks_;
};

CUrlEdit::CUrlEdit(QWidget* parent) : QTextEdit(parent)
{
    setAcceptRichText(false);
    setLineWrapMode(QTextEdit::NoWrap);
    setWordWrapMode(QTextOption::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTabChangesFocus(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(LineHeight());
    // Connected before the highlighter exists, so that this runs first on every edit: the URL object takes the new
    // text and the marks are set before the highlighter's own pass draws them. One layout of the line per keystroke,
    // which is what keeps long URLs quick to edit.
    connect(document(), &QTextDocument::contentsChange, this, &CUrlEdit::OnContentsChange);
    marks_ = new Marks(document());
    connect(this, &QTextEdit::textChanged, this, &CUrlEdit::OnChange);
}

CUrlEdit::~CUrlEdit() = default;

void CUrlEdit::Attach(CSeqUrl* seqUrl)
{
    seqUrl_ = seqUrl;
    lastText_ = toPlainText();
    Highlight();
}

void CUrlEdit::Highlight()
{
    SetMarks();
    // Redrawing touches no text; the guard keeps any notification it raises from counting as an edit.
    const bool wasInChange = inChange_;
    inChange_ = true;
    marks_->rehighlight();
    inChange_ = wasInChange;
}

void CUrlEdit::SetMarks()
{
    std::array<Marks::Mark, 2> marks;
    if (seqUrl_) {
        const std::string text = seqUrl_->GetText();
        const int shift = LeadingBlanks(toPlainText());
        const bool lowerSelected = seqUrl_->GetSelectedField() == 0;
        if (!seqUrl_->IsFieldEmpty(0)) {
            const SeqSpan span = seqUrl_->GetFieldSpan(0);
            marks[0] = {shift + Utf16Position(text, span.start), shift + Utf16Position(text, span.end),
                        lowerSelected ? kLowerStrong : kLowerLight};
        }
        if (seqUrl_->GetUpperEnabled() && !seqUrl_->IsFieldEmpty(1)) {
            const SeqSpan span = seqUrl_->GetFieldSpan(1);
            marks[1] = {shift + Utf16Position(text, span.start), shift + Utf16Position(text, span.end),
                        lowerSelected ? kUpperLight : kUpperStrong};
        }
    }
    marks_->SetMarks(marks);
}

void CUrlEdit::ShowSeqUrlText()
{
    const QString text = seqUrl_ ? QString::fromStdString(seqUrl_->GetText()) : QString();
    inChange_ = true;
    setPlainText(text);
    moveCursor(QTextCursor::Start);
    horizontalScrollBar()->setValue(0);
    inChange_ = false;
    lastText_ = text;
    Highlight();
    emit UrlChanged();
}

void CUrlEdit::OnContentsChange(int, int removed, int added)
{
    if (inChange_ || !seqUrl_ || (removed == 0 && added == 0))
        return;
    const QString text = toPlainText();
    if (text.contains(QLatin1Char('*'))) {
        change_ = Change::Refused;
        return;
    }
    lastText_ = text;
    seqUrl_->SetText(text.toStdString());
    SetMarks();
    change_ = Change::Accepted;
}

void CUrlEdit::OnChange()
{
    const Change change = std::exchange(change_, Change::None);
    if (inChange_ || !seqUrl_ || change == Change::None)
        return;
    if (change == Change::Accepted) {
        emit UrlChanged();
        return;
    }
    // A '*' is refused: the URL object keeps its text and marks. The box goes back to the last text it showed, so
    // that what the user sees is what a download would fetch; only when that text held a '*' itself (put there by
    // the program) does the edit stay, so the user can still remove the stars.
    const QString text = toPlainText();
    if (!lastText_.contains(QLatin1Char('*'))) {
        const int tail = static_cast<int>(text.size()) - textCursor().position();
        inChange_ = true;
        QTextCursor all(document());
        all.select(QTextCursor::Document);
        all.insertText(lastText_);
        QTextCursor caret(document());
        caret.setPosition(
            std::clamp(static_cast<int>(lastText_.size()) - tail, 0, static_cast<int>(lastText_.size())));
        setTextCursor(caret);
        inChange_ = false;
    } else {
        lastText_ = text;
    }
    Highlight();
    ShowStarRefusal();
}

void CUrlEdit::ShowStarRefusal()
{
    // Shown once the edit has finished: a modal box inside the text control's own change handling could run
    // events into a control that is half way through an edit.
    if (messagePending_)
        return;
    messagePending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            messagePending_ = false;
            ShowMessage(window(), QString::fromUtf8(kStarRefused), QString(), MessageIcon::Stop);
        },
        Qt::QueuedConnection);
}

QMenu* CUrlEdit::CreateEditMenu()
{
    auto* menu = new QMenu(this);
    const bool hasSelection = textCursor().hasSelection();
    const bool writable = !isReadOnly();
    QAction* cutAction = menu->addAction(QStringLiteral("切り取り"), this, &QTextEdit::cut);
    cutAction->setEnabled(writable && hasSelection);
    QAction* copyAction = menu->addAction(QStringLiteral("コピー"), this, &QTextEdit::copy);
    copyAction->setEnabled(hasSelection);
    QAction* pasteAction = menu->addAction(QStringLiteral("貼り付け"), this, &QTextEdit::paste);
    pasteAction->setEnabled(writable && canPaste());
    QAction* deleteAction =
        menu->addAction(QStringLiteral("削除"), this, [this] { textCursor().removeSelectedText(); });
    deleteAction->setEnabled(writable && hasSelection);
    return menu;
}

bool CUrlEdit::event(QEvent* event)
{
    const bool handled = QTextEdit::event(event);
    // The style draws a focus frame round line edits but not round text boxes; this box stands for a line edit.
    if (event->type() == QEvent::Paint && hasFocus()) {
        QPainter painter(this);
        painter.setPen(QPen(palette().color(QPalette::Highlight), qMax(1, frameWidth())));
        const int inset = qMax(1, frameWidth()) / 2;
        painter.drawRect(rect().adjusted(inset, inset, -inset - 1, -inset - 1));
    }
    return handled;
}

void CUrlEdit::keyPressEvent(QKeyEvent* event)
{
    // Enter belongs to the dialog (its default button); a one-line box takes no line breaks.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->ignore();
        return;
    }
    QTextEdit::keyPressEvent(event);
}

void CUrlEdit::mousePressEvent(QMouseEvent* event)
{
    // A right click puts the caret where it is clicked, unless it falls into the selection the menu would act on.
    if (event->button() == Qt::RightButton) {
        const QTextCursor at = cursorForPosition(event->position().toPoint());
        const QTextCursor current = textCursor();
        if (!current.hasSelection() || at.position() < current.selectionStart() ||
            at.position() > current.selectionEnd())
            setTextCursor(at);
    }
    QTextEdit::mousePressEvent(event);
}

void CUrlEdit::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = CreateEditMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

bool CUrlEdit::canInsertFromMimeData(const QMimeData* source) const
{
    return source->hasText();
}

void CUrlEdit::insertFromMimeData(const QMimeData* source)
{
    if (!source->hasText())
        return;
    // Plain text only: a pasted format would mix with the marks.
    // Copied URLs often bring blanks along, which would stay in the box unseen.
    textCursor().insertText(FirstLine(source->text()).trimmed());
    ensureCursorVisible();
}

QMimeData* CUrlEdit::createMimeDataFromSelection() const
{
    auto* mime = new QMimeData;
    mime->setText(textCursor().selectedText());
    return mime;
}

int CUrlEdit::LineHeight() const
{
    const int margin = static_cast<int>(document()->documentMargin());
    return fontMetrics().lineSpacing() + 2 * margin + 2 * frameWidth();
}

QSize CUrlEdit::sizeHint() const
{
    return {fontMetrics().averageCharWidth() * 50, LineHeight()};
}

QSize CUrlEdit::minimumSizeHint() const
{
    return {fontMetrics().averageCharWidth() * 8, LineHeight()};
}

} // namespace pelldra
