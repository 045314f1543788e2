// The main window showing an order in its controls: the kept order, a LinkScout order, one taken out of the queue.
#include "gui/app/pelldra_dlg.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QSignalBlocker>

#include "core/linkscout/linkscout_orders.h"
#include "core/text/text_utils.h"
#include "gui/settings/detail_dialog.h"
#include "gui/widgets/folder_edit.h"
#include "gui/widgets/url_edit.h"

namespace pelldra {

int CPelldraDlg::LoadItemIntoWindow(const CQueueItem& source)
{
    CQueueItem item = source;
    if (item.Kind >= CQueueItem::LIST && item.Kind <= CQueueItem::IMAGE) {
        SetJobMode(JobMode::List);
        listPathEdit_->setText(QString::fromStdString(item.Lst));
        folderEdit_->setText(QString::fromStdString(item.Fol));
        deleteListCheck_->setChecked(item.Del != 0);
        // A start on this very list keeps it a link or image page order.
        loadedList_ = {item.Lst, item.Kind, item.Page, item.KindName};
        return 1;
    }
    SetJobMode(JobMode::Sequential);
    if (item.Or1.empty())
        item.Or1 = item.St1;
    if (!item.St2.empty() != url_.GetUpperEnabled()) {
        url_.SetUpperEnabled(!item.St2.empty());
        url_.SetSelectedField(item.St2.empty() ? 0 : 1);
    }
    subfolderOn_ = !item.Sub.empty();
    {
        const QSignalBlocker block(subfolderCheck_);
        subfolderCheck_->setChecked(subfolderOn_);
    }
    subfolderEdit_->setText(QString::fromStdString(item.Sub));
    LoadUrlFromItem(url_, item);

    // The Referer goes where the next start reads it: an open detail dialog keeps it only with its OK.
    if (detailDialog_) {
        detailDialog_->LoadReferer(item);
    } else {
        settings_.syncFlags = item.Syn;
        url_.SetSyncFlags(item.Syn);
        LoadRefererFromItem(item, referer_, settings_);
    }

    urlEdit_->ShowSeqUrlText(); // fills the ranges with the URL's digits
    // The order's own ranges, so that a start asks for the same files again.
    ApplyRanges(RangesOfItem(item, url_, settings_.WholeSequence != 0), true, true);
    saveNameEdit_->setText(QString::fromStdString(AfterLast(item.job.Dest, '/')));
    if (!item.Fol.empty()) {
        folderEdit_->setText(QString::fromStdString(item.Fol));
    } else {
        std::string folder = UpToLast(item.job.Dest, '/');
        while (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
        if (!folder.empty())
            folderEdit_->setText(QString::fromStdString(folder));
    }
    seqState_.LastCookie = item.job.Cook;
    seqState_.LastCookieScope = UpToLast(item.job.Targ, '/');
    UpdateDigitControls();
    return 1;
}

} // namespace pelldra
