#include "Set_mima.h"

#include "LockHost.h"
#include "LockRule.h"
#include "PasswordEdit.h"
#include "PasswordSettings.h"
#include "db/DataModule.h"
#include "platform/Dialogs.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>
#include <algorithm>

namespace {
QLabel* rowLabel(const QString& text, PasswordEdit* edit, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setBuddy(edit);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}
} // namespace

Tset_mima::Tset_mima(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("set_mima"));
    setWindowTitle(QStringLiteral("设置密码"));
    setFixedSize(345, 233);
    setModal(true);

    m_check = new QCheckBox(QStringLiteral("启用登陆及锁定密码"), this);
    m_check->setObjectName(QStringLiteral("bsSkinCheckRadioBox1"));

    m_group = new QGroupBox(QStringLiteral("设置密码"), this);
    m_group->setObjectName(QStringLiteral("bsSkinGroupBox1"));

    m_oldRow = new QWidget(m_group);
    m_oldRow->setObjectName(QStringLiteral("bsSkinPanel2"));
    m_oldEdit = new PasswordEdit(m_oldRow);
    m_oldEdit->setObjectName(QStringLiteral("bsSkinEdit1"));
    QLabel* oldLabel = rowLabel(QStringLiteral("请先输入旧密码:"), m_oldEdit, m_oldRow);

    m_newRows = new QWidget(m_group);
    m_newRows->setObjectName(QStringLiteral("bsSkinPanel1"));
    m_newEdit = new PasswordEdit(m_newRows);
    m_newEdit->setObjectName(QStringLiteral("bsSkinEdit4"));
    m_repeatEdit = new PasswordEdit(m_newRows);
    m_repeatEdit->setObjectName(QStringLiteral("bsSkinEdit2"));
    QLabel* newLabel = rowLabel(QStringLiteral("请输入密码:"), m_newEdit, m_newRows);
    QLabel* repeatLabel = rowLabel(QStringLiteral("再输入一遍:"), m_repeatEdit, m_newRows);

    // The labels of both panels share one width, so that the three edits stand in one column.
    const int labelWidth = std::max(
        {oldLabel->sizeHint().width(), newLabel->sizeHint().width(), repeatLabel->sizeHint().width()});
    for (QLabel* label : {oldLabel, newLabel, repeatLabel})
        label->setFixedWidth(labelWidth);

    auto* oldLayout = new QHBoxLayout(m_oldRow);
    oldLayout->setContentsMargins(0, 0, 0, 0);
    oldLayout->addWidget(oldLabel);
    oldLayout->addWidget(m_oldEdit, 1);
    auto* newLayout = new QGridLayout(m_newRows);
    newLayout->setContentsMargins(0, 0, 0, 0);
    newLayout->addWidget(newLabel, 0, 0);
    newLayout->addWidget(m_newEdit, 0, 1);
    newLayout->addWidget(repeatLabel, 1, 0);
    newLayout->addWidget(m_repeatEdit, 1, 1);
    newLayout->setColumnStretch(1, 1);
    // The rows stack from the top of the group: without the old-password row the others move up.
    auto* groupLayout = new QVBoxLayout(m_group);
    groupLayout->setContentsMargins(16, 18, 24, 10);
    groupLayout->addWidget(m_oldRow);
    groupLayout->addWidget(m_newRows);
    groupLayout->addStretch(1);

    // Two OK buttons at the same place; exactly one is shown.
    m_ok1 = new QPushButton(QStringLiteral("确  定"), this);
    m_ok1->setObjectName(QStringLiteral("bsSkinButton1"));
    m_ok3 = new QPushButton(QStringLiteral("确  定"), this);
    m_ok3->setObjectName(QStringLiteral("bsSkinButton3"));
    m_cancel = new QPushButton(QStringLiteral("取  消"), this);
    m_cancel->setObjectName(QStringLiteral("bsSkinButton2"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok1);
    buttons->addWidget(m_ok3);
    buttons->addWidget(m_cancel);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 12);
    layout->addWidget(m_check);
    // The group keeps its size when the old-password row is hidden; the space goes to the group's foot.
    layout->addWidget(m_group, 1);
    layout->addStretch(0);
    layout->addLayout(buttons);

    setTabOrder(m_check, m_oldEdit);
    setTabOrder(m_oldEdit, m_newEdit);
    setTabOrder(m_newEdit, m_repeatEdit);
    setTabOrder(m_repeatEdit, m_ok1);
    setTabOrder(m_ok1, m_ok3);
    setTabOrder(m_ok3, m_cancel);

    connect(m_check, &QCheckBox::toggled, this, &Tset_mima::bsSkinCheckRadioBox1Click);
    connect(m_ok1, &QPushButton::clicked, this, &Tset_mima::bsSkinButton1Click);
    connect(m_ok3, &QPushButton::clicked, this, &Tset_mima::bsSkinButton3Click);
    connect(m_cancel, &QPushButton::clicked, this, &Tset_mima::bsSkinButton2Click);

    // Before the first showing: change-mode layout, box unticked, password group shown.
    m_check->setChecked(false);
    m_group->setVisible(true);
    setChangeMode(true);
}

Tset_mima::~Tset_mima() = default;

void Tset_mima::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        // Centred on the desktop.
        centreOnDesktop(this);
        FormShow();
    }
    QDialog::showEvent(event);
}

void Tset_mima::setChangeMode(bool change)
{
    m_ok3->setVisible(change);
    m_ok1->setVisible(!change);
    m_oldRow->setVisible(change);
    m_newRows->setVisible(true);
    (change ? m_ok3 : m_ok1)->setDefault(true); // Enter presses the OK button that is shown
}

void Tset_mima::FormShow()
{
    m_oldEdit->clear();
    m_newEdit->clear();
    m_repeatEdit->clear();
    if (!m_data)
        return;
    LockSettings* settings = m_data->settings();
    if (const Result result = settings->load(); !result.ok()) {
        MessageBox::appError(this, result.error());
        return;
    }
    const QString ub2 = settings->lockFlag();
    if (ub2 == QLatin1String("1")) {
        m_check->setChecked(true);
        m_group->setVisible(true);
    } else if (ub2 == QLatin1String("0")) {
        m_check->setChecked(false);
        m_group->setVisible(false);
    }
    const QString ub4 = settings->passwordSetFlag();
    if (ub4 == QLatin1String("1"))
        setChangeMode(true);
    else if (ub4 == QLatin1String("0"))
        setChangeMode(false);
    // The first box that wants typing gets the focus.
    if (m_group->isVisibleTo(this))
        (m_oldRow->isVisibleTo(this) ? m_oldEdit : m_newEdit)->setFocus();
    else
        m_check->setFocus();
}

void Tset_mima::bsSkinCheckRadioBox1Click()
{
    m_group->setVisible(m_check->isChecked());
}

void Tset_mima::bsSkinButton1Click()
{
    save();
}

void Tset_mima::bsSkinButton3Click()
{
    if (m_check->isChecked()) {
        const QString stored = m_data ? m_data->settings()->password() : QString();
        const QString problem = PasswordSettings::oldPasswordProblem(m_oldEdit->text(), stored);
        if (!problem.isEmpty()) {
            MessageBox::information(this, problem);
            return;
        }
    }
    save();
}

void Tset_mima::save()
{
    if (!m_data)
        return;
    LockSettings* settings = m_data->settings();
    Result result = Result::success();
    QString done;
    if (m_check->isChecked()) {
        const QString problem = PasswordSettings::newPasswordProblem(m_newEdit->text(), m_repeatEdit->text());
        if (!problem.isEmpty()) {
            MessageBox::information(this, problem);
            return;
        }
        result = settings->savePassword(m_newEdit->text());
        done = QStringLiteral("密码已经设置");
    } else {
        result = settings->saveLockOff();
        done = QStringLiteral("已经关闭了软件登录密码");
    }
    if (!result.ok()) {
        MessageBox::appError(this, result.error());
        return;
    }
    MessageBox::information(this, done);
    accept();
}

void Tset_mima::bsSkinButton2Click()
{
    reject();
}

void Tset_mima::FormClose()
{
    if (m_data) {
        if (const Result result = m_data->settings()->load(); !result.ok()) {
            MessageBox::appError(this, result.error());
            return;
        }
        if (m_lockGroup && m_host)
            ApplyLockRule(m_data->settings()->lockFlag(), m_lockGroup, m_host);
    }
    if (m_host)
        m_host->showWelcomePanel();
}

void Tset_mima::done(int result)
{
    // FormClose runs once for every close: OK, Cancel, Esc and the title bar's close button all end here.
    if (isVisible() && !m_closing) {
        m_closing = true;
        FormClose();
        m_closing = false;
    }
    QDialog::done(result);
}
