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
    m_remaining = new QLabel(this);
    m_remaining->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, kSeconds);
    m_progress->setTextVisible(false);
    m_now = new QPushButton(QStringLiteral("直ちに実行"), this);
    m_cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    m_now->setDefault(true);
    connect(m_now, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* top = new QHBoxLayout;
    top->addWidget(label, 1);
    top->addWidget(m_remaining);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_now);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_progress);
    layout->addLayout(buttons);

    m_timer.setInterval(tick);
    connect(&m_timer, &QTimer::timeout, this, &CPowerOffDlg::Tick);
    connect(this, &QDialog::finished, &m_timer, &QTimer::stop);
}

void CPowerOffDlg::showEvent(QShowEvent* event)
{
    m_count = 0;
    m_progress->setValue(0);
    ShowRemaining();
    m_timer.start();
    QDialog::showEvent(event);
}

void CPowerOffDlg::Tick()
{
    if (m_count >= kSeconds)
        return;
    ++m_count;
    m_progress->setValue(m_count);
    ShowRemaining();
    if (m_count == kSeconds) {
        m_timer.stop();
        accept();
    }
}

void CPowerOffDlg::ShowRemaining()
{
    const QString text = QStringLiteral("%1 秒").arg(kSeconds - m_count);
    m_remaining->setText(text);
    emit RemainingShown(text);
}

QString CPowerOffDlg::RemainingText() const
{
    return m_remaining->text();
}

int CPowerOffDlg::Progress() const
{
    return m_progress->value();
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
