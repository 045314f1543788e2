// The main window's smaller services: the boss key, each showing, and the manual behind HELP.
#include <QApplication>
#include <QShowEvent>

#include "gui/app/help_window.h"
#include "gui/app/pelldra_app.h"
#include "gui/app/pelldra_dlg.h"
#include "gui/platform/bring_to_front.h"
#include "gui/platform/broadcasts.h"
#include "gui/platform/message_box.h"

namespace pelldra {

namespace {

// The boss must see nothing of the program: its dialogs, the help window, a notice or a question go too. A dialog
// closed so answers as its Esc would (cancel, no).
void CloseWindowsBesides(QWidget* main)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != main && w->isVisible())
            w->close();
}

} // namespace

void CPelldraDlg::reject()
{
    OnCancelCommand();
}

void CPelldraDlg::OnCancelCommand()
{
    // Esc is the boss key: with it switched off nothing happens.
    if (closeRequested_) {
        // A dialog left open would keep its own loop, and with it the program, running.
        CloseWindowsBesides(this);
        QDialog::reject();
        return;
    }
    if (settings_.BossKey == 0)
        return;
    hidden_ = true;
    CloseWindowsBesides(this);
    if (options_.app)
        options_.app->SetAppState(QStringLiteral("hide"));
    hide();
    if (options_.app)
        options_.app->GetBroadcasts().Emit(QString::fromUtf8(broadcast::kBossCome));
}

void CPelldraDlg::HideOnBossCome(const QString& name, bool fromThisProcess)
{
    // A hidden window does not answer, and neither does the window its own call: so companions never echo forever.
    if (name != QLatin1String(broadcast::kBossCome) || fromThisProcess || hidden_ || settings_.BossKey == 0)
        return;
    closeRequested_ = false;
    OnCancelCommand();
}

void CPelldraDlg::OnShown()
{
    ShowLayoutOf(jobMode_);
    if (options_.app)
        options_.app->GetBroadcasts().Emit(QString::fromUtf8(broadcast::kPopUp));
    announce_->OnShown();
}

void CPelldraDlg::ShowHelp()
{
    // One help window, kept while the main window lives, so that it opens again at the page last read.
    if (auto* open = findChild<CHelpWindow*>(QString(), Qt::FindDirectChildrenOnly)) {
        BringToFront(open);
        return;
    }
    const QString folder = options_.manualFolder.isEmpty() ? ManualFolder() : options_.manualFolder;
    const QString problem = ManualProblem(folder);
    if (!problem.isEmpty()) {
        ShowMessage(this, problem, QString(), MessageIcon::Stop);
        return;
    }
    (new CHelpWindow(this, folder))->show();
}

} // namespace pelldra
