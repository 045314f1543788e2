// The main window's digit-string controls: the marked runs of the URL, the upper string and subfolder switches,
// and the range boxes that follow the URL.
#include "gui/app/pelldra_dlg.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QToolButton>

#include "gui/app/main_icons.h"
#include "gui/widgets/field_spin.h"
#include "gui/widgets/num_edit.h"
#include "gui/widgets/repeat_spin.h"
#include "gui/widgets/url_edit.h"

namespace pelldra {

void CPelldraDlg::OnUrlChanged()
{
    ApplyRanges(RefreshRangesFromUrl(url_, settings_.WholeSequence != 0), true, true);
    UpdateDigitControls();
}

void CPelldraDlg::ApplyRanges(const FilledRanges& ranges, bool lower, bool upper)
{
    auto apply = [](const RangeTexts& r, CNumEdit* from, CNumEdit* to) {
        from->SetValue(r.from, r.width);
        to->SetValue(r.toEmptied ? std::nullopt : std::optional<std::string>(r.to), r.width);
    };
    if (lower)
        apply(ranges.lower, lowerFrom_, lowerTo_);
    if (upper && ranges.hasUpper)
        apply(ranges.upper, upperFrom_, upperTo_);
}

void CPelldraDlg::UpdateDigitControls()
{
    const bool upperPossible = url_.CanMoveLeft(0);
    const bool upperOn = upperPossible && url_.GetUpperEnabled();
    upperCheck_->setEnabled(upperPossible);
    {
        const QSignalBlocker block(upperCheck_);
        upperCheck_->setChecked(upperOn);
    }
    for (QWidget* w : std::initializer_list<QWidget*>{upperFrom_, upperFromSpin_, upperTo_, upperToSpin_, upperKara_,
                                                      subfolderCheck_, fieldSpin_})
        w->setEnabled(upperOn);
    subfolderEdit_->setEnabled(upperOn && subfolderOn_);
    if (!upperPossible && url_.GetSelectedField() == 1)
        url_.SetSelectedField(0);
    if (!upperOn && url_.GetSelectedField() == 1)
        url_.SetSelectedField(0);

    const bool upperSelected = url_.GetSelectedField() == 1;
    if (upperSelected) {
        nextRun_->setEnabled(url_.CanMoveRight(0) || url_.CanMoveRight(1));
        prevRun_->setEnabled(url_.CanMoveLeft(1));
    } else {
        nextRun_->setEnabled(url_.CanMoveRight(0));
        prevRun_->setEnabled(url_.CanMoveLeft(0) || url_.CanMoveLeft(1));
    }
    PaintFieldLabels();
}

void CPelldraDlg::PaintFieldLabels()
{
    main_icons::ShowSelectedField(palette(), lowerLabel_, upperLabel_, prevRun_, nextRun_,
                                  url_.GetSelectedField() == 1);
}

void CPelldraDlg::SelectField(int field)
{
    if (field == 1 && !(upperCheck_->isEnabled() && url_.GetUpperEnabled()))
        return;
    url_.SetSelectedField(field);
    urlEdit_->Highlight();
    UpdateDigitControls();
}

void CPelldraDlg::SelectPrevRun()
{
    url_.SelectPrevRun();
    urlEdit_->Highlight();
    // The boxes follow the newly marked digits, as they do when the URL is typed.
    OnUrlChanged();
}

void CPelldraDlg::SelectNextRun()
{
    url_.SelectNextRun();
    urlEdit_->Highlight();
    OnUrlChanged();
}

void CPelldraDlg::ToggleUpper()
{
    const bool on = !url_.GetUpperEnabled();
    url_.SetUpperEnabled(on);
    url_.SetSelectedField(on ? 1 : 0);
    url_.Refresh();
    urlEdit_->Highlight();
    if (on)
        ApplyRanges(RefreshRangesFromUrl(url_, settings_.WholeSequence != 0), false, true);
    UpdateDigitControls();
}

void CPelldraDlg::ToggleSubfolder()
{
    subfolderOn_ = !subfolderOn_;
    {
        const QSignalBlocker block(subfolderCheck_);
        subfolderCheck_->setChecked(subfolderOn_);
    }
    subfolderEdit_->setEnabled(upperCheck_->isChecked() && subfolderOn_);
}

} // namespace pelldra
