// The power-off countdown.
#include "gui/app/power_off_dialog.h"

#include "gui/platform/message_box.h"
#include "gui/platform/power.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace pelldra {

CPowerOffDlg::CPowerOffDlg(QWidget* parent, std::chrono::milliseconds tick) : QDialog(parent)
{
    setWindowTitle(QString::fromUtf8(kTitle));

    auto* label = new QLabel(QStringLiteral("電源ＯＦＦ動作開始まで・・・"), this);
    remaining_ = new QLabel(this);
    remaining_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    progress_ = new QProgressBar(this);
    progress_->setRange(0, kSeconds);
    progress_->setTextVisible(false);
    now_ = new QPushButton(QStringLiteral("直ちに実行"), this);
    cancel_ = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    // Enter cancels: a key meant for another window when the countdown came up must not switch the computer off.
    now_->setAutoDefault(false);
    cancel_->setDefault(true);
    connect(now_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    auto* top = new QHBoxLayout;
    top->addWidget(label, 1);
    top->addWidget(remaining_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(now_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(progress_);
    layout->addLayout(buttons);

    timer_.setInterval(tick);
    connect(&timer_, &QTimer::timeout, this, &CPowerOffDlg::Tick);
    connect(this, &QDialog::finished, &timer_, &QTimer::stop);
}

void CPowerOffDlg::showEvent(QShowEvent* event)
{
    count_ = 0;
    progress_->setValue(0);
    ShowRemaining();
    timer_.start();
    QDialog::showEvent(event);
}

void CPowerOffDlg::Tick()
{
    if (count_ >= kSeconds)
        return;
    ++count_;
    progress_->setValue(count_);
    ShowRemaining();
    if (count_ == kSeconds) {
        timer_.stop();
        accept();
    }
}

void CPowerOffDlg::ShowRemaining()
{
    const QString text = QStringLiteral("%1 秒").arg(kSeconds - count_);
    remaining_->setText(text);
    emit RemainingShown(text);
}

QString CPowerOffDlg::RemainingText() const
{
    return remaining_->text();
}

int CPowerOffDlg::Progress() const
{
    return progress_->value();
}

bool ConfirmAndPowerOff(QWidget* parent, PowerBackend& backend, std::chrono::milliseconds tick)
{
    CPowerOffDlg countdown(parent, tick);
    if (countdown.exec() != QDialog::Accepted)
        return false;
    const QString failure = SwitchPowerOff(backend);
    if (failure.isEmpty())
        return true;
    ShowMessage(parent, failure);
    return false;
}

} // namespace pelldra
