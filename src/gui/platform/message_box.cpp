// The message function, the choosers and the hook that records and answers them in tests.
#include "gui/platform/message_box.h"

#include "gui/widgets/folder_browser.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QMessageBox>

namespace pelldra {

namespace {

MessageHook* g_hook = nullptr; // GUI thread only

QMessageBox::Icon ToQtIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Stop:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ToQtButtons(MessageButtons buttons)
{
    switch (buttons) {
    case MessageButtons::Ok:
        break;
    case MessageButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case MessageButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MessageButtons::RetryCancel:
        return QMessageBox::Retry | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

MessageAnswer FirstButton(MessageButtons buttons)
{
    switch (buttons) {
    case MessageButtons::YesNo:
    case MessageButtons::YesNoCancel:
        return MessageAnswer::Yes;
    case MessageButtons::RetryCancel:
        return MessageAnswer::Retry;
    case MessageButtons::Ok:
    case MessageButtons::OkCancel:
        break;
    }
    return MessageAnswer::Ok;
}

// The answer a box gives when it is closed without a button: Cancel, else No, else Ok.
MessageAnswer EscapeAnswer(MessageButtons buttons)
{
    switch (buttons) {
    case MessageButtons::OkCancel:
    case MessageButtons::YesNoCancel:
    case MessageButtons::RetryCancel:
        return MessageAnswer::Cancel;
    case MessageButtons::YesNo:
        return MessageAnswer::No;
    case MessageButtons::Ok:
        break;
    }
    return MessageAnswer::Ok;
}

MessageAnswer FromQt(int button, MessageButtons buttons)
{
    switch (button) {
    case QMessageBox::Ok:
        return MessageAnswer::Ok;
    case QMessageBox::Cancel:
        return MessageAnswer::Cancel;
    case QMessageBox::Yes:
        return MessageAnswer::Yes;
    case QMessageBox::No:
        return MessageAnswer::No;
    case QMessageBox::Retry:
        return MessageAnswer::Retry;
    default:
        return EscapeAnswer(buttons);
    }
}

} // namespace

QString ToQtFileFilter(const QString& filter)
{
    // "Name(*.ext)|*.ext|...||": the shown names already carry their patterns, so Qt's form keeps the names and takes
    // the patterns from the second field ("*.*" means every file here, not only names with a dot).
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& name = parts[i];
        if (name.isEmpty())
            break;
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (patterns.trimmed() == QLatin1String("*.*"))
            patterns = QStringLiteral("*");
        QString shown = name;
        const qsizetype paren = shown.indexOf(QLatin1Char('('));
        if (paren > 0)
            shown = shown.left(paren);
        out << shown + QStringLiteral(" (") + patterns.trimmed() + QLatin1Char(')');
    }
    return out.join(QStringLiteral(";;"));
}

MessageAnswer ShowMessage(QWidget* parent, const QString& text, const QString& caption, MessageIcon icon,
                          MessageButtons buttons)
{
    const QString shownCaption = caption.isEmpty() ? QString::fromUtf8(kDefaultMessageCaption) : caption;
    if (g_hook)
        return g_hook->Answer({text, shownCaption, icon, buttons});

    // QMessageBox makes Cancel, else No, else the only button the answer of Esc and of the close box.
    QMessageBox box(ToQtIcon(icon), shownCaption, text, ToQtButtons(buttons), parent);
    // QMessageBox fits its text alone: for a short one the window manager's title bar, with its icon and buttons,
    // has no room left for the caption.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        const int captionRoom = box.fontMetrics().horizontalAdvance(shownCaption) * 3 / 2 + 150;
        grid->addItem(new QSpacerItem(captionRoom, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                      grid->columnCount());
    }
    return FromQt(box.exec(), buttons);
}

QString ChooseOpenFile(QWidget* parent, const QString& title, const QString& filter, const QString& defaultExtension,
                       const QString& startPath)
{
    if (g_hook)
        return g_hook->AnswerChooser({RecordedChooser::Kind::OpenFile, title, filter, startPath});
    QFileDialog dialog(parent, title, startPath, ToQtFileFilter(filter));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // A typed name without an extension means the file with the default one.
    QString suffix = defaultExtension;
    if (suffix.startsWith(QLatin1Char('.')))
        suffix.remove(0, 1);
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

QString ChooseFolder(QWidget* parent, const QString& startFolder)
{
    if (g_hook)
        return g_hook->AnswerChooser({RecordedChooser::Kind::Folder, QString(), QString(), startFolder});
    CFolderBrowser browser(parent, startFolder);
    return browser.Run();
}

MessageHook::MessageHook() : previous_(g_hook)
{
    g_hook = this;
}

MessageHook::~MessageHook()
{
    g_hook = previous_;
}

QStringList MessageHook::Texts() const
{
    QStringList out;
    for (const RecordedMessage& m : messages_)
        out << m.text;
    return out;
}

std::optional<RecordedMessage> MessageHook::Last() const
{
    if (messages_.empty())
        return std::nullopt;
    return messages_.back();
}

void MessageHook::Clear()
{
    messages_.clear();
    choosers_.clear();
    answers_.clear();
    paths_.clear();
}

MessageAnswer MessageHook::Answer(RecordedMessage message)
{
    const MessageButtons buttons = message.buttons;
    messages_.push_back(std::move(message));
    if (answers_.empty())
        return FirstButton(buttons);
    const MessageAnswer answer = answers_.front();
    answers_.pop_front();
    return answer;
}

QString MessageHook::AnswerChooser(RecordedChooser chooser)
{
    choosers_.push_back(std::move(chooser));
    if (paths_.empty())
        return QString();
    QString path = paths_.front();
    paths_.pop_front();
    return path;
}

} // namespace pelldra
