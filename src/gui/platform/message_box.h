// The one way the program shows a message box or a file/folder chooser, with a hook that tests script.
#pragma once

#include <QString>
#include <QStringList>

#include <deque>
#include <optional>
#include <vector>

class QWidget;

namespace pelldra {

enum class MessageIcon {
    None,
    Information,
    Warning,
    Stop, // the "hand" icon: errors that end a command
    Question,
};

enum class MessageButtons {
    Ok,
    OkCancel,
    YesNo,
    YesNoCancel,
    RetryCancel,
};

enum class MessageAnswer {
    Ok,
    Cancel,
    Yes,
    No,
    Retry,
};

// Caption used when a caller passes none, as an application-wide message box would show.
inline constexpr const char* kDefaultMessageCaption = "Pelldra";

// Every message box goes through here. Without a MessageHook it is a modal QMessageBox; closing it with the window's
// close button or Esc gives Cancel or No where the buttons offer one, else Ok.
MessageAnswer ShowMessage(QWidget* parent, const QString& text, const QString& caption = QString(),
                          MessageIcon icon = MessageIcon::None, MessageButtons buttons = MessageButtons::Ok);

// File-open chooser. `filter` uses the written "Name(*.ext)|*.ext|...||" form; `defaultExtension` (".lst") is added to
// a typed name that has none. Returns "" when the user cancels.
QString ChooseOpenFile(QWidget* parent, const QString& title, const QString& filter, const QString& defaultExtension,
                       const QString& startPath = QString());

// The written filter form turned into Qt's: "URLリスト(*.lst)|*.lst|すべてのファイル(*.*)|*.*||" gives
// "URLリスト (*.lst);;すべてのファイル (*)".
QString ToQtFileFilter(const QString& filter);

// Folder chooser (the program's own folder browser, with subfolder creation). Returns "" when the user cancels.
QString ChooseFolder(QWidget* parent, const QString& startFolder);

struct RecordedMessage
{
    QString text;
    QString caption; // as shown: kDefaultMessageCaption when the caller gave none
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
};

struct RecordedChooser
{
    enum class Kind {
        OpenFile,
        Folder,
    };
    Kind kind = Kind::OpenFile;
    QString title;  // the file chooser's title; empty for the folder chooser
    QString filter; // the file chooser's filter as passed
    QString start;  // the start path or folder
};

// While one of these lives (tests only; on the GUI thread), nothing is shown: every message and chooser call is
// recorded and answered from the scripted queues. An empty queue answers with the first button (Ok or Yes) or, for a
// chooser, with "" (cancelled). Hooks nest: the newest one answers, and the previous one is back when it is destroyed.
class MessageHook final
{
public:
    MessageHook();
    ~MessageHook();
    MessageHook(const MessageHook&) = delete;
    MessageHook& operator=(const MessageHook&) = delete;

    void QueueAnswer(MessageAnswer answer) { answers_.push_back(answer); }
    void QueueChosenPath(const QString& path) { paths_.push_back(path); }

    const std::vector<RecordedMessage>& Messages() const { return messages_; }
    const std::vector<RecordedChooser>& Choosers() const { return choosers_; }
    // The texts of all messages so far, for compact comparisons.
    QStringList Texts() const;
    std::optional<RecordedMessage> Last() const;
    void Clear();

    // Used by the message function; not for callers.
    MessageAnswer Answer(RecordedMessage message);
    QString AnswerChooser(RecordedChooser chooser);

private:
    MessageHook* previous_ = nullptr;
    std::deque<MessageAnswer> answers_;
    std::deque<QString> paths_;
    std::vector<RecordedMessage> messages_;
    std::vector<RecordedChooser> choosers_;
};

} // namespace pelldra
