// The main window's side of the settings: the file and the kept order read and written, and the detail dialog.
#include "gui/app/pelldra_dlg.h"

#include <QLineEdit>

#include "core/settings/settings_file.h"
#include "gui/linkscout/open_in_linkscout.h"
#include "gui/settings/detail_dialog.h"
#include "gui/widgets/folder_edit.h"
#include "gui/widgets/num_edit.h"
#include "gui/widgets/url_edit.h"

namespace pelldra {

void CPelldraDlg::LoadSettings()
{
    const StoredSettings stored = LoadSettingsFile(SettingsFilePath());
    settings_ = stored.detail;
    appText_ = stored.appText;
    seqState_.FixedWidth = stored.FixedWidth;
    if (stored.folder)
        folderEdit_->SetFolder(QString::fromStdString(*stored.folder));
    if (stored.lowerFrom)
        lowerFrom_->SetValue(*stored.lowerFrom, lowerFrom_->Width());
    if (stored.lowerTo)
        lowerTo_->SetValue(*stored.lowerTo, lowerTo_->Width());
    if (stored.saveName) {
        saveNameEdit_->setText(QString::fromStdString(*stored.saveName));
        seqState_.NameTemplate = *stored.saveName;
        seqState_.NameGiven = !stored.saveName->empty();
    }
    url_.SetSyncFlags(settings_.syncFlags);
    url_.SetAssumeFixedDigits(settings_.assumeFixedDigits != 0);
    referer_.SetText(settings_.Referer);

    if (LoadKeptOrder(KeptOrderFilePath(), currentItem_)) {
        LoadItemIntoWindow(currentItem_);
        // Both files hold the same folder box, but only the settings file's folder has been checked: a folder
        // that has gone since comes back as the home folder rather than as the gone one.
        if (stored.folder)
            folderEdit_->SetFolder(QString::fromStdString(*stored.folder));
    }
    // The order shows the series controls; the mode stays the one the window was closed in.
    jobMode_ = stored.jobMode;
}

void CPelldraDlg::SaveSettings()
{
    // Nothing can be told when a file cannot be written: the window is going.
    WriteSettingsFiles(folderEdit_->TakeForStore());
}

void CPelldraDlg::WriteSettingsFiles(const QString& folder)
{
    CQueueItem kept;
    BuildKeptSequentialItem(SequentialControlsNow(), settings_, seqState_, kept);
    StoredSettings s;
    s.url = url_.GetText();
    s.folder = folder.toStdString();
    s.appText = appText_;
    s.detail = settings_;
    s.FixedWidth = seqState_.FixedWidth;
    s.jobMode = jobMode_;
    SaveSettingsFile(SettingsFilePath(), s);
    SaveKeptOrder(KeptOrderFilePath(), kept);
}

void CPelldraDlg::ShowDetailSettings()
{
    CDetailDlg dialog(this, settings_, referer_, *credentials_, [this](const std::string& url) {
        if (options_.app)
            OpenInLinkScout(*options_.app, QString::fromStdString(url));
    });
    connect(&dialog, &CDetailDlg::ClosedWithEscape, this, &CPelldraDlg::OnCancelCommand);
    detailDialog_ = &dialog;
    const bool kept = dialog.exec() == QDialog::Accepted;
    // The dialog may have selected the other digit string.
    urlEdit_->Highlight();
    UpdateDigitControls();
    if (kept && dialog.WholeSequenceChanged())
        ApplyRanges(RefreshRangesFromUrl(url_, settings_.WholeSequence != 0), true, true);
    // Written at once as well as when the window goes, so that a crash or a kill later keeps what was chosen. The
    // folder box is stored as typed, but stays unchecked until it is used.
    if (kept)
        WriteSettingsFiles(folderEdit_->text());
}

} // namespace pelldra
