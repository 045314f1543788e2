// The main window's list viewer and queue summary: what they are shown and what the window takes back from them.
#include "gui/app/pelldra_dlg.h"

#include <QLineEdit>
#include <QPushButton>

#include "core/orders/list_order.h"
#include "core/text/text_utils.h"
#include "gui/platform/message_box.h"
#include "gui/queue/queue_summary_dialog.h"
#include "gui/queue/url_list_dialog.h"
#include "gui/widgets/folder_edit.h"

namespace pelldra {

void CPelldraDlg::ViewListFile()
{
    const std::string path = listPathEdit_->text().toStdString();
    if (path.empty())
        return;
    CQueueItem scratch;
    scratch.Clear();
    FillRequestOptions(settings_, scratch);
    scratch.Lst = path;
    std::vector<std::string> lines;
    const ListReadResult read = ReadJobList(scratch, lines, jobMode_, folderEdit_->text().toStdString());
    if (read.backToSequential)
        SetJobMode(JobMode::Sequential);
    if (!read.ok()) {
        ShowMessage(this, QString::fromStdString(read.message)); // "リストは空です。" among them
        return;
    }
    const QString folder = QString::fromStdString(scratch.Fol);
    CUrlListDlg dialog(this, lines, QStringLiteral("URLリスト  %1").arg(QString::fromStdString(AfterLast(path, '/'))),
                       folder);
    connect(&dialog, &CUrlListDlg::CancelCommand, this, &CPelldraDlg::OnCancelCommand);
    // The folder goes where the start command reads it; left as it was shown, the folder edit stays as typed.
    if (dialog.exec() == QDialog::Accepted && dialog.Folder() != folder)
        folderEdit_->setText(dialog.Folder());
}

void CPelldraDlg::ShowQueueSummary()
{
    CQueueSummaryDlg dialog(this, queue_, powerOffWhenQueueDone_);
    connect(&dialog, &CQueueSummaryDlg::CancelCommand, this, &CPelldraDlg::OnCancelCommand);
    summaryDialog_ = &dialog;
    dialog.exec();
    summaryDialog_ = nullptr;
    queueButton_->setEnabled(queue_.hasItems() != 0);
    powerOffWhenQueueDone_ = dialog.PowerOff();
    if (dialog.TakenOut())
        LoadItemIntoWindow(*dialog.TakenOut());
}

} // namespace pelldra
