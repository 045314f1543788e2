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
    m_settings = stored.detail;
    m_appText = stored.appText;
    m_seqState.FixedWidth = stored.FixedWidth;
    if (stored.folder)
        m_folderEdit->SetFolder(QString::fromStdString(*stored.folder));
    if (stored.lowerFrom)
        m_lowerFrom->SetValue(*stored.lowerFrom, m_lowerFrom->Width());
    if (stored.lowerTo)
        m_lowerTo->SetValue(*stored.lowerTo, m_lowerTo->Width());
    if (stored.saveName) {
        m_saveNameEdit->setText(QString::fromStdString(*stored.saveName));
        m_seqState.NameTemplate = *stored.saveName;
        m_seqState.NameGiven = !stored.saveName->empty();
    }
    m_url.SetSyncFlags(m_settings.syncFlags);
    m_url.SetAssumeFixedDigits(m_settings.assumeFixedDigits != 0);
    m_referer.SetText(m_settings.Referer);

    if (LoadKeptOrder(KeptOrderFilePath(), m_currentItem)) {
        LoadItemIntoWindow(m_currentItem);
        LoadUrlFromItem(m_referer, m_currentItem);
        // Both files hold the same folder box, but only the settings file's folder has been checked: a folder
        // that has gone since comes back as the home folder rather than as the gone one.
        if (stored.folder)
            m_folderEdit->SetFolder(QString::fromStdString(*stored.folder));
    }
    // The order shows the series controls; the mode stays the one the window was closed in.
    m_jobMode = stored.jobMode;
}

void CPelldraDlg::SaveSettings()
{
    // Nothing can be told when a file cannot be written: the window is going.
    CQueueItem kept;
    BuildKeptSequentialItem(SequentialControlsNow(), m_settings, m_seqState, kept);
    StoredSettings s;
    s.url = m_url.GetText();
    s.folder = m_folderEdit->TakeForStore().toStdString();
    s.appText = m_appText;
    s.detail = m_settings;
    s.FixedWidth = m_seqState.FixedWidth;
    s.jobMode = m_jobMode;
    SaveSettingsFile(SettingsFilePath(), s);
    SaveKeptOrder(KeptOrderFilePath(), kept);
}

void CPelldraDlg::ShowDetailSettings()
{
    CDetailDlg dialog(this, m_settings, m_referer, *m_credentials, [this](const std::string& url) {
        if (m_options.app)
            OpenInLinkScout(*m_options.app, QString::fromStdString(url));
    });
    connect(&dialog, &CDetailDlg::ClosedWithEscape, this, &CPelldraDlg::OnCancelCommand);
    const bool kept = dialog.exec() == QDialog::Accepted;
    // The dialog may have selected the other digit string.
    m_urlEdit->Highlight();
    UpdateDigitControls();
    if (kept && dialog.WholeSequenceChanged())
        ApplyRanges(RefreshRangesFromUrl(m_url, m_settings.WholeSequence != 0), true, true);
}

} // namespace pelldra
