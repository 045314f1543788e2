// CUrlEdit: the one-line URL box that marks the lower and upper digit strings of its CSeqUrl in colour.
#pragma once

#include <QColor>
#include <QTextEdit>

class QMenu;

namespace pelldra {

class CSeqUrl;

class CUrlEdit final : public QTextEdit
{
    Q_OBJECT

public:
    // The marks' colours: the selected field is drawn strong, the other light.
    static inline const QColor kLowerStrong{255, 0, 0};
    static inline const QColor kLowerLight{255, 130, 130};
    static inline const QColor kUpperStrong{0, 0, 255};
    static inline const QColor kUpperLight{120, 120, 255};

    explicit CUrlEdit(QWidget* parent);
    ~CUrlEdit() override;
    CUrlEdit(const CUrlEdit&) = delete;
    CUrlEdit& operator=(const CUrlEdit&) = delete;

    // Binds the box to the URL object it edits (not owned; it must outlive the box or be detached with nullptr).
    void Attach(CSeqUrl* seqUrl);
    CSeqUrl* SeqUrl() const { return seqUrl_; }

    // Redraws the marks from the URL object; the window calls it after moving a mark or switching the field.
    void Highlight();
    // Shows the URL object's text, from its start. The text is the object's own, so it is not handed back to it.
    void ShowSeqUrlText();
    QString Text() const { return toPlainText(); }

    // The right-click menu for the current selection (cut, copy, paste, delete); the caller owns it.
    QMenu* CreateEditMenu();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // After every accepted change of the text: the URL object has the new text and the marks are drawn.
    void UrlChanged();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    QMimeData* createMimeDataFromSelection() const override;

private:
    class Marks;

    enum class Change {
        None,
        Accepted,
        Refused,
    };

    // The document changed (before it is laid out): hand the text over and set the marks.
    void OnContentsChange(int position, int removed, int added);
    // The edit is complete: tell the dialog, or undo a refused edit.
    void OnChange();
    void SetMarks();
    void ShowStarRefusal();
    int LineHeight() const;

    CSeqUrl* seqUrl_ = nullptr;    // not owned
    Marks* marks_ = nullptr;       // owned by the document
    QString lastText_;             // the text the box showed after the last change it handled
    Change change_ = Change::None; // what the current edit came to, between the two steps above
    bool inChange_ = false;
    bool messagePending_ = false;
};

} // namespace pelldra
