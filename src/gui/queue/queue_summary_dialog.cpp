// CQueueSummaryDlg: the rows of the waiting orders and the edits on them.
#include "gui/queue/queue_summary_dialog.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTextDocument>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/queue/queue_view.h"
#include "core/queue/wait_queue.h"
#include "gui/app/main_icons.h"
#include "gui/platform/message_box.h"
#include "gui/widgets/plain_button.h"

namespace pelldra {

namespace {

QTreeWidgetItem* RowOf(const CQueueItem& item)
{
    auto* row = new QTreeWidgetItem({QString::fromStdString(WaitingItemText(item)), QString::fromStdString(item.Fol)});
    row->setIcon(0, main_icons::OrderKind(item.Kind));
    // A tooltip that looks like markup would be drawn as markup: an order's text comes from lists and other programs.
    row->setToolTip(0, Qt::convertFromPlainText(row->text(0)));
    return row;
}

} // namespace

CQueueSummaryDlg::CQueueSummaryDlg(QWidget* parent, CWaitQueue& queue, bool powerOff)
    : QDialog(parent), queue_(queue), powerOff_(powerOff)
{
    setObjectName(QStringLiteral("queueSummary"));
    setWindowTitle(QString::fromUtf8(kTitle));
    setSizeGripEnabled(true);
    auto* root = new QVBoxLayout(this);

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("queueList"));
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setHeaderLabels({QStringLiteral("待ちアイテム"), QStringLiteral("保存フォルダ")});
    list_->header()->resizeSection(0, 280);
    list_->header()->resizeSection(1, 280);
    list_->setMinimumSize(580, 200);
    list_->installEventFilter(this);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, &CQueueSummaryDlg::TakeOut);
    root->addWidget(list_, 1);

    // Enter takes the selected order out, whichever control has the focus: no button here is its default.
    auto* buttons = new QHBoxLayout;
    powerOffButton_ = PlainButton(this, "powerOffButton", "終了後電源ＯＦＦ");
    powerOffButton_->setCheckable(true);
    powerOffButton_->setChecked(powerOff_);
    connect(powerOffButton_, &QPushButton::toggled, this, [this](bool on) { powerOff_ = on; });
    saveButton_ = PlainButton(this, "saveButton", "変更を保存");
    connect(saveButton_, &QPushButton::clicked, this, &CQueueSummaryDlg::Save);
    closeButton_ = PlainButton(this, "closeButton", "閉じる");
    connect(closeButton_, &QPushButton::clicked, this, &CQueueSummaryDlg::reject);
    buttons->addWidget(powerOffButton_);
    buttons->addStretch(1);
    buttons->addWidget(saveButton_);
    buttons->addWidget(closeButton_);
    root->addLayout(buttons);
    SetChanged(false);
}

int CQueueSummaryDlg::exec()
{
    if (!Load()) {
        ShowMessage(parentWidget(), QString::fromUtf8(kEmpty));
        return Rejected;
    }
    return QDialog::exec();
}

bool CQueueSummaryDlg::Load()
{
    const bool any = queue_.LoadAll() > 0;
    ShowRows();
    SetChanged(false);
    return any;
}

void CQueueSummaryDlg::ShowRows()
{
    list_->clear();
    QList<QTreeWidgetItem*> rows;
    for (const CQueueItem& item : queue_.Items())
        rows.append(RowOf(item));
    list_->addTopLevelItems(rows);
}

int CQueueSummaryDlg::FirstSelectedRow() const
{
    for (int i = 0; i < list_->topLevelItemCount(); ++i)
        if (list_->topLevelItem(i)->isSelected())
            return i;
    return -1;
}

void CQueueSummaryDlg::SetChanged(bool changed)
{
    changed_ = changed;
    saveButton_->setEnabled(changed);
}

bool CQueueSummaryDlg::Write()
{
    const bool written = queue_.SaveAll() == 0;
    if (!written)
        ShowMessage(this, QString::fromUtf8(kWriteFailed) + QString::fromStdString(queue_.path()), QString(),
                    MessageIcon::Stop);
    // Orders taken for a run elsewhere meanwhile have left the list.
    else if (queue_.Count() != list_->topLevelItemCount())
        ShowRows();
    return written;
}

void CQueueSummaryDlg::TakeOut()
{
    const int i = FirstSelectedRow();
    if (i < 0) {
        ShowMessage(this, QString::fromUtf8(kNoSelection));
        return;
    }
    CQueueItem item = queue_.ItemAt(i);
    queue_.RemoveAt(i);
    delete list_->takeTopLevelItem(i);
    if (!Write()) {
        queue_.InsertAt(i, item); // it stays queued, and shown
        ShowRows();
        return;
    }
    takenOut_ = std::move(item);
    QDialog::accept();
}

void CQueueSummaryDlg::DeleteSelected()
{
    for (int i = FirstSelectedRow(); i >= 0; i = FirstSelectedRow()) {
        if (queue_.RemoveAt(i) != 0)
            break;
        delete list_->takeTopLevelItem(i);
        SetChanged(true);
    }
}

void CQueueSummaryDlg::MoveSelected(int step)
{
    const int i = FirstSelectedRow();
    const int to = i + step;
    if (i < 0 || to < 0 || to >= list_->topLevelItemCount())
        return;
    const CQueueItem item = queue_.ItemAt(i);
    queue_.RemoveAt(i);
    queue_.InsertAt(to, item);
    QTreeWidgetItem* row = list_->takeTopLevelItem(i);
    list_->insertTopLevelItem(to, row);
    list_->clearSelection();
    list_->setCurrentItem(row);
    row->setSelected(true);
    SetChanged(true);
}

void CQueueSummaryDlg::Save()
{
    if (Write())
        SetChanged(false);
}

void CQueueSummaryDlg::reject()
{
    if (changed_ && !closedByProgram_ &&
        ShowMessage(this, QString::fromUtf8(kSaveQuestion), QString(), MessageIcon::Question, MessageButtons::YesNo) ==
            MessageAnswer::Yes)
        Save();
    QDialog::reject();
}

void CQueueSummaryDlg::closeEvent(QCloseEvent* event)
{
    // A question would show the window that the boss key just hid, or hold up the session's end.
    closedByProgram_ = !event->spontaneous();
    QDialog::closeEvent(event);
    closedByProgram_ = false;
}

void CQueueSummaryDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        emit CancelCommand();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        TakeOut();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool CQueueSummaryDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == list_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool ctrl = key->modifiers() == Qt::ControlModifier;
        if (key->key() == Qt::Key_Delete || key->key() == Qt::Key_Backspace) {
            DeleteSelected();
            return true;
        }
        if (ctrl && (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
            MoveSelected(key->key() == Qt::Key_Up ? -1 : 1);
            return true;
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            TakeOut();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace pelldra
