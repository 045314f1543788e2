// The main window in everyday use: where the focus starts, the queue-mode key, and a start pressed twice.
#include "gui/app/pelldra_dlg.h"

#include <QApplication>
#include <QKeySequence>
#include <QLineEdit>
#include <QShortcut>

#include "gui/app/run_animation.h"
#include "gui/widgets/url_edit.h"

namespace pelldra {

void CPelldraDlg::AddKeyboardShortcuts()
{
    // The animation that switches queue mode takes no focus, so the keyboard needs a way of its own.
    const QKeySequence queueKey(QString::fromLatin1(kQueueModeKey));
    auto* queue = new QShortcut(queueKey, this);
    connect(queue, &QShortcut::activated, this, &CPelldraDlg::ToggleQueueMode);
    animation_->setToolTip(
        QStringLiteral("待ち行列モードの切り替え (%1)").arg(queueKey.toString(QKeySequence::NativeText)));
}

void CPelldraDlg::FocusFirstBox()
{
    // What the user types first is the order's URL (or list): it must not go to the tab bar.
    if (jobMode_ == JobMode::Sequential)
        urlEdit_->setFocus(Qt::OtherFocusReason);
    else
        listPathEdit_->setFocus(Qt::OtherFocusReason);
}

bool CPelldraDlg::IsRepeatedStart(const CQueueItem& item)
{
    // A double click on the start button is two presses: the second would queue the same order again.
    const bool repeated = lastStartClock_.isValid() &&
                          lastStartClock_.elapsed() < QApplication::doubleClickInterval() &&
                          item.SameStoredValues(lastStart_);
    lastStart_ = item;
    lastStartClock_.start();
    return repeated;
}

} // namespace pelldra
