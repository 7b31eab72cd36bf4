#include "Dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QQueue>
#include <QScreen>

namespace {
bool g_testMode = false;
QQueue<MessageBox::Button> g_answers;
QList<MessageBox::Shown> g_shown;
QQueue<QString> g_fileAnswers;
QQueue<QString> g_saveAnswers;
QString g_lastProposed;
int g_fileOpened = 0;
std::function<void(const MessageBox::Shown&)> g_shownHook;
QString g_lastTitle;
QString g_lastFilter;

const QString kAppTitle = QStringLiteral("岚枢");
} // namespace

MessageBox::Button MessageBox::show(QWidget* parent, Icon icon, const QString& caption, const QString& text,
                                    int buttons, Button defaultButton)
{
    if (g_testMode) {
        g_shown.append({icon, caption, text, buttons});
        if (g_shownHook)
            g_shownHook(g_shown.last());
        return g_answers.isEmpty() ? defaultButton : g_answers.dequeue();
    }
    QMessageBox box(parent ? parent : QApplication::activeWindow());
    prepare(box, icon, caption, text, buttons, defaultButton);
    const int r = box.exec();
    return r == QMessageBox::Ok ? Ok : r == QMessageBox::Yes ? Yes : r == QMessageBox::No ? No : Cancel;
}

void MessageBox::prepare(QMessageBox& box, Icon icon, const QString& caption, const QString& text,
                         int buttons, Button defaultButton)
{
    box.setWindowTitle(caption);
    box.setText(text);
    box.setTextFormat(Qt::PlainText);
    static const QMessageBox::Icon kIcons[] = {QMessageBox::NoIcon, QMessageBox::Information,
                                               QMessageBox::Warning, QMessageBox::Critical,
                                               QMessageBox::Question};
    box.setIcon(kIcons[icon]);
    box.setStandardButtons(QMessageBox::StandardButtons(buttons));
    box.setDefaultButton(QMessageBox::StandardButton(defaultButton));
    if (buttons & Cancel)
        box.setEscapeButton(QMessageBox::Cancel);
    // The standard button texts stay as the box draws them: "OK" and "Cancel".
    if (auto* b = box.button(QMessageBox::Ok))
        b->setText(QStringLiteral("OK"));
    if (auto* b = box.button(QMessageBox::Cancel))
        b->setText(QStringLiteral("Cancel"));
}

void MessageBox::information(QWidget* parent, const QString& text)
{
    show(parent, Information, QStringLiteral("Information"), text, Ok);
}

QString MessageBox::appErrorText(const QString& errorText)
{
    if (!errorText.isEmpty() && errorText.back() > QLatin1Char('.'))
        return errorText + QLatin1Char('.');
    return errorText;
}

void MessageBox::appError(QWidget* parent, const QString& errorText)
{
    show(parent, Critical, kAppTitle, appErrorText(errorText), Ok);
}

void MessageBox::setTestMode(bool on)
{
    g_testMode = on;
    g_answers.clear();
    g_fileAnswers.clear();
    g_saveAnswers.clear();
    g_shown.clear();
}

bool MessageBox::isTestMode()
{
    return g_testMode;
}

void MessageBox::setNextAnswer(Button answer)
{
    g_answers.enqueue(answer);
}
QList<MessageBox::Shown> MessageBox::shown()
{
    return g_shown;
}
QList<MessageBox::Shown> MessageBox::takeShown()
{
    return std::exchange(g_shown, {});
}
void MessageBox::clearShown()
{
    g_shown.clear();
}
void MessageBox::setShownHook(std::function<void(const Shown&)> hook)
{
    g_shownHook = std::move(hook);
}

QString FileDialog::getOpenFileName(QWidget* parent, const QString& title, const QString& dir,
                                    const QString& filter)
{
    ++g_fileOpened;
    g_lastTitle = title;
    g_lastFilter = filter;
    if (!g_fileAnswers.isEmpty())
        return g_fileAnswers.dequeue();
    if (g_testMode)
        return {};
    // The filter's patterns stay out of sight: the entry reads by its name alone.
    return QFileDialog::getOpenFileName(parent, title, dir, filter, nullptr,
                                        QFileDialog::HideNameFilterDetails);
}

QString FileDialog::getSaveFileName(QWidget* parent, const QString& title, const QString& proposed,
                                    const QString& filter)
{
    ++g_fileOpened;
    g_lastTitle = title;
    g_lastFilter = filter;
    g_lastProposed = proposed;
    if (!g_saveAnswers.isEmpty())
        return g_saveAnswers.dequeue();
    if (g_testMode)
        return {};
    return QFileDialog::getSaveFileName(parent, title, proposed, filter, nullptr,
                                        QFileDialog::HideNameFilterDetails);
}

void FileDialog::setNextOpenFileName(const QString& path)
{
    g_fileAnswers.enqueue(path);
}
void FileDialog::setNextSaveFileName(const QString& path)
{
    g_saveAnswers.enqueue(path);
}
QString FileDialog::lastProposed()
{
    return g_lastProposed;
}
int FileDialog::openedCount()
{
    return g_fileOpened;
}
QString FileDialog::lastTitle()
{
    return g_lastTitle;
}
QString FileDialog::lastFilter()
{
    return g_lastFilter;
}

WaitCursor::WaitCursor()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

WaitCursor::~WaitCursor()
{
    QApplication::restoreOverrideCursor();
}

void centreOnDesktop(QWidget* window)
{
    if (const QScreen* screen = window->screen()) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
}
