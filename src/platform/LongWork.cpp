#include "LongWork.h"

#include <QCoreApplication>
#include <QProgressDialog>
#include <QTimer>

#include <climits>

LongWork::LongWork(QWidget* parent, const QString& title, const QString& text, int total, Cancel cancel,
                   const QString& objectName)
    : m_dialog(new QProgressDialog(text, cancel == Cancel::Allowed ? QStringLiteral("取消") : QString(), 0,
                                   std::max(total, 0), parent)),
      m_delay(new QTimer(this)), m_takesInput(cancel == Cancel::Allowed)
{
    if (!objectName.isEmpty())
        m_dialog->setObjectName(objectName);
    m_dialog->setWindowTitle(title);
    m_dialog->setWindowModality(Qt::WindowModal);
    if (cancel == Cancel::Refused)
        m_dialog->setCancelButton(nullptr);
    m_dialog->setAutoReset(false);
    m_dialog->setAutoClose(false);
    // The dialog never shows itself (it would guess from the progress and show early): the delay here
    // decides.
    m_dialog->setMinimumDuration(INT_MAX);
    m_dialog->setValue(0);
    connect(m_dialog, &QProgressDialog::canceled, this, [this] {
        if (m_cancelled)
            return;
        m_cancelled = true;
        Q_EMIT cancelled();
    });
    m_delay->setSingleShot(true);
    m_delay->setTimerType(Qt::PreciseTimer); // a coarse timer may end up to a twentieth early
    connect(m_delay, &QTimer::timeout, this, &LongWork::showWindow);
    m_delay->start(kDelayMs);
    m_clock.start();
}

LongWork::~LongWork()
{
    delete m_dialog;
}

void LongWork::setText(const QString& text)
{
    if (m_dialog)
        m_dialog->setLabelText(text);
}

void LongWork::setProgress(int done, int total)
{
    if (!m_dialog)
        return;
    if (total >= 0 && m_dialog->maximum() != total)
        m_dialog->setMaximum(total);
    m_dialog->setValue(done);
}

bool LongWork::step(int done, int total)
{
    setProgress(done, std::max(total, 1));
    return takeEvents();
}

bool LongWork::stepUncounted()
{
    setProgress(0, 0);
    return takeEvents();
}

bool LongWork::takeEvents()
{
    if (m_clock.elapsed() >= kDelayMs)
        showWindow();
    // Input is taken only for 取消 on the window shown.
    const bool input = m_takesInput && m_dialog && m_dialog->isVisible();
    QCoreApplication::processEvents(input ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    return !m_cancelled;
}

void LongWork::showWindow()
{
    m_delay->stop();
    if (m_dialog && !m_cancelled && !m_dialog->isVisible())
        m_dialog->show();
}
