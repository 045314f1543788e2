// The main window's controls and their layout: the mode tabs, the series and list panels, the folder row, the
// command column and the log area.
#include "gui/app/pelldra_dlg.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "gui/app/main_icons.h"
#include "gui/app/run_animation.h"
#include "gui/log/log_edit.h"
#include "gui/platform/message_box.h"
#include "gui/queue/notice_popup.h"
#include "gui/widgets/field_spin.h"
#include "gui/widgets/folder_edit.h"
#include "gui/widgets/num_edit.h"
#include "gui/widgets/plain_button.h"
#include "gui/widgets/repeat_spin.h"
#include "gui/widgets/url_edit.h"

namespace pelldra {

namespace {

QToolButton* ToolButton(QWidget* parent, const char* name, const QIcon& icon, int iconSize)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setIcon(icon);
    b->setIconSize(QSize(iconSize, iconSize));
    b->setAutoRaise(false);
    return b;
}

} // namespace

// Created in the order the Tab key follows.
void CPelldraDlg::BuildControls()
{
    auto* root = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    root->addLayout(top);
    auto* left = new QVBoxLayout;
    top->addLayout(left, 1);
    BuildModeRows(left);
    // The two modes' controls share one place as high as the higher of them, so that switching the mode moves
    // neither the folder row nor the log.
    auto* modePanels = new QGridLayout;
    for (QWidget* panel : {BuildSeriesPanel(), BuildListPanel()}) {
        QSizePolicy policy = panel->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        panel->setSizePolicy(policy);
        modePanels->addWidget(panel, 0, 0, Qt::AlignTop);
    }
    left->addLayout(modePanels);
    BuildFolderRow(left);
    left->addStretch(1);
    // The command column keeps its distance to the right edge.
    top->addLayout(BuildCommandColumn());
    BuildLogArea(root);
    notice_ = new CNoticePopup(this);
    notice_->hide();
}

void CPelldraDlg::BuildModeRows(QVBoxLayout* left)
{
    tabs_ = new QTabBar(this);
    tabs_->setObjectName(QStringLiteral("jobTabs"));
    tabs_->addTab(QStringLiteral("連番"));
    tabs_->addTab(QStringLiteral("リスト"));
    tabs_->setExpanding(false);
    tabs_->setDrawBase(true);
    left->addWidget(tabs_);
    connect(tabs_, &QTabBar::currentChanged, this,
            [this](int index) { SetJobMode(index == 0 ? JobMode::Sequential : JobMode::List); });

    auto* hintRow = new QHBoxLayout;
    urlLabel_ = new QLabel(this);
    hint_ = new QLabel(this);
    hint_->setObjectName(QStringLiteral("modeHint"));
    hintRow->addWidget(urlLabel_);
    hintRow->addWidget(hint_, 1);
    left->addLayout(hintRow);
}

CNumEdit* CPelldraDlg::NumberBox(const char* name, CRepeatSpin*& spin)
{
    auto* edit = new CNumEdit(sequentialPanel_);
    edit->setObjectName(QLatin1String(name));
    edit->setFixedWidth(QFontMetrics(edit->font()).horizontalAdvance(QStringLiteral("00000000")) + 10);
    spin = new CRepeatSpin(sequentialPanel_);
    spin->SetBuddy(edit);
    return edit;
}

QWidget* CPelldraDlg::BuildSeriesPanel()
{
    sequentialPanel_ = new QWidget(this);
    auto* seq = new QGridLayout(sequentialPanel_);
    seq->setContentsMargins(0, 0, 0, 0);
    BuildUrlRow(seq);
    BuildRangeRows(seq);
    return sequentialPanel_;
}

void CPelldraDlg::BuildUrlRow(QGridLayout* seq)
{
    urlEdit_ = new CUrlEdit(sequentialPanel_);
    urlEdit_->setObjectName(QStringLiteral("urlEdit"));
    urlEdit_->Attach(&url_);
    connect(urlEdit_, &CUrlEdit::UrlChanged, this, &CPelldraDlg::OnUrlChanged);
    prevRun_ = ToolButton(sequentialPanel_, "prevRun", main_icons::Arrow(true, false), 16);
    fieldSpin_ = new CFieldSpin(sequentialPanel_);
    nextRun_ = ToolButton(sequentialPanel_, "nextRun", main_icons::Arrow(false, false), 16);
    connect(prevRun_, &QToolButton::clicked, this, &CPelldraDlg::SelectPrevRun);
    connect(nextRun_, &QToolButton::clicked, this, &CPelldraDlg::SelectNextRun);
    connect(fieldSpin_, &CFieldSpin::FieldChosen, this, &CPelldraDlg::SelectField);
    auto* urlRow = new QHBoxLayout;
    urlRow->addWidget(urlEdit_, 1);
    urlRow->addWidget(prevRun_);
    urlRow->addWidget(fieldSpin_);
    urlRow->addWidget(nextRun_);
    seq->addLayout(urlRow, 0, 0, 1, 9);
}

void CPelldraDlg::BuildRangeRows(QGridLayout* seq)
{
    upperCheck_ = new QCheckBox(sequentialPanel_);
    upperCheck_->setObjectName(QStringLiteral("upperCheck"));
    upperLabel_ = new QLabel(QStringLiteral("上位数字列"), sequentialPanel_);
    upperLabel_->setObjectName(QStringLiteral("upperLabel"));
    upperFrom_ = NumberBox("upperFrom", upperFromSpin_);
    upperKara_ = new QLabel(QStringLiteral("から"), sequentialPanel_);
    upperTo_ = NumberBox("upperTo", upperToSpin_);
    subfolderCheck_ = new QCheckBox(QStringLiteral("サブフォルダ"), sequentialPanel_);
    subfolderCheck_->setObjectName(QStringLiteral("subfolderCheck"));
    subfolderEdit_ = new QLineEdit(sequentialPanel_);
    subfolderEdit_->setObjectName(QStringLiteral("subfolderEdit"));
    connect(upperCheck_, &QCheckBox::clicked, this, &CPelldraDlg::ToggleUpper);
    connect(subfolderCheck_, &QCheckBox::clicked, this, &CPelldraDlg::ToggleSubfolder);

    lowerLabel_ = new QLabel(QStringLiteral("下位数字列"), sequentialPanel_);
    lowerLabel_->setObjectName(QStringLiteral("lowerLabel"));
    CRepeatSpin* lowerFromSpin = nullptr;
    CRepeatSpin* lowerToSpin = nullptr;
    lowerFrom_ = NumberBox("lowerFrom", lowerFromSpin);
    auto* lowerKara = new QLabel(QStringLiteral("から"), sequentialPanel_);
    lowerTo_ = NumberBox("lowerTo", lowerToSpin);
    auto* nameLabel = new QLabel(QStringLiteral("保存時ファイル名"), sequentialPanel_);
    saveNameEdit_ = new QLineEdit(sequentialPanel_);
    saveNameEdit_->setObjectName(QStringLiteral("saveNameEdit"));
    // Templates are read whole: room for a name like "pic*-*.jpg" or a subfolder like "vol*".
    const int templateWidth = QFontMetrics(font()).horizontalAdvance(QStringLiteral("picture*-*.jpeg")) + 16;
    saveNameEdit_->setMinimumWidth(templateWidth);
    subfolderEdit_->setMinimumWidth(templateWidth);
    for (QLabel* label : {upperLabel_, lowerLabel_}) {
        label->setAutoFillBackground(true);
        label->setMargin(2);
        label->setCursor(Qt::PointingHandCursor);
        label->installEventFilter(this);
    }

    seq->addWidget(upperCheck_, 1, 0);
    seq->addWidget(upperLabel_, 1, 1);
    seq->addWidget(upperFrom_, 1, 2);
    seq->addWidget(upperFromSpin_, 1, 3);
    seq->addWidget(upperKara_, 1, 4);
    seq->addWidget(upperTo_, 1, 5);
    seq->addWidget(upperToSpin_, 1, 6);
    seq->addWidget(subfolderCheck_, 1, 7);
    seq->addWidget(subfolderEdit_, 1, 8);
    seq->addWidget(lowerLabel_, 2, 1);
    seq->addWidget(lowerFrom_, 2, 2);
    seq->addWidget(lowerFromSpin, 2, 3);
    seq->addWidget(lowerKara, 2, 4);
    seq->addWidget(lowerTo_, 2, 5);
    seq->addWidget(lowerToSpin, 2, 6);
    seq->addWidget(nameLabel, 2, 7);
    seq->addWidget(saveNameEdit_, 2, 8);
    seq->setColumnStretch(8, 1);
}

QWidget* CPelldraDlg::BuildListPanel()
{
    listPanel_ = new QWidget(this);
    auto* list = new QGridLayout(listPanel_);
    list->setContentsMargins(0, 0, 0, 0);
    listPathEdit_ = new QLineEdit(listPanel_);
    listPathEdit_->setObjectName(QStringLiteral("listPathEdit"));
    openButton_ = ToolButton(listPanel_, "openList", main_icons::OpenList(), 16);
    openButton_->setText(QStringLiteral("開く"));
    openButton_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    connect(openButton_, &QToolButton::clicked, this, &CPelldraDlg::OpenListFile);
    deleteListCheck_ = new QCheckBox(QStringLiteral("ダウンロード終了後にリストを削除"), listPanel_);
    deleteListCheck_->setObjectName(QStringLiteral("deleteListCheck"));
    viewListButton_ = PlainButton(listPanel_, "viewList", "リストの内容を見る");
    connect(viewListButton_, &QPushButton::clicked, this, &CPelldraDlg::ViewListFile);
    list->addWidget(listPathEdit_, 0, 0, 1, 2);
    list->addWidget(openButton_, 0, 2);
    list->addWidget(deleteListCheck_, 1, 0);
    list->addWidget(viewListButton_, 1, 2);
    list->setColumnStretch(1, 1);
    return listPanel_;
}

void CPelldraDlg::BuildFolderRow(QVBoxLayout* left)
{
    auto* folderRow = new QHBoxLayout;
    folderButton_ = PlainButton(this, "folderButton", "保存するフォルダ");
    folderEdit_ = new CFolder(this);
    folderEdit_->setObjectName(QStringLiteral("folderEdit"));
    connect(folderButton_, &QPushButton::clicked, this, [this] { folderEdit_->Browse(); });
    folderRow->addWidget(folderButton_);
    folderRow->addWidget(folderEdit_, 1);
    left->addLayout(folderRow);
}

QVBoxLayout* CPelldraDlg::BuildCommandColumn()
{
    auto* right = new QVBoxLayout;
    auto* runRow = new QHBoxLayout;
    animation_ = new CRunAnimation(this);
    connect(animation_, &CRunAnimation::Clicked, this, &CPelldraDlg::ToggleQueueMode);
    startButton_ = ToolButton(this, "startButton", main_icons::StartIdle(), 32);
    startButton_->setToolTip(QStringLiteral("ダウンロード開始"));
    startButton_->installEventFilter(this);
    stopButton_ = ToolButton(this, "stopButton", main_icons::Stop(), 32);
    stopButton_->setToolTip(QStringLiteral("中止"));
    connect(startButton_, &QToolButton::clicked, this, &CPelldraDlg::OnStart);
    connect(stopButton_, &QToolButton::clicked, this, &CPelldraDlg::OnStop);
    runRow->addWidget(animation_);
    runRow->addWidget(startButton_);
    runRow->addWidget(stopButton_);
    right->addLayout(runRow);
    queueButton_ = PlainButton(this, "queueButton", "待ち行列");
    connect(queueButton_, &QPushButton::clicked, this, &CPelldraDlg::ShowQueueSummary);
    detailButton_ = PlainButton(this, "detailButton", "詳細設定");
    connect(detailButton_, &QPushButton::clicked, this, &CPelldraDlg::ShowDetailSettings);
    logButton_ = PlainButton(this, "logButton", "ログ");
    connect(logButton_, &QPushButton::clicked, this, &CPelldraDlg::OpenLogViewer);
    helpButton_ = PlainButton(this, "helpButton", "HELP");
    connect(helpButton_, &QPushButton::clicked, this, &CPelldraDlg::ShowHelp);
    new QShortcut(QKeySequence::HelpContents, this, this, &CPelldraDlg::ShowHelp);
    exitButton_ = PlainButton(this, "exitButton", "終了");
    connect(exitButton_, &QPushButton::clicked, this, &CPelldraDlg::OnExit);
    auto* smallRow = new QHBoxLayout;
    smallRow->addWidget(logButton_);
    smallRow->addWidget(helpButton_);
    right->addWidget(queueButton_);
    right->addWidget(detailButton_);
    right->addLayout(smallRow);
    right->addStretch(1);
    right->addWidget(exitButton_);
    return right;
}

void CPelldraDlg::BuildLogArea(QVBoxLayout* root)
{
    log_ = new CLogEdit(this);
    log_->setObjectName(QStringLiteral("logView"));
    log_->setMinimumHeight(120);
    root->addWidget(log_, 1);
    progress_ = new QLabel(this);
    progress_->setObjectName(QStringLiteral("progressLine"));
    root->addWidget(progress_);
}

} // namespace pelldra
