#pragma once

#include <QList>
#include <QString>
#include <functional>

class QMessageBox;
class QWidget;

// Places a window in the middle of the desktop of the screen it is on.
void centreOnDesktop(QWidget* window);

// The wait cursor for as long as it lives, restored however the work ends.
class WaitCursor
{
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Every message box of the program goes through here, so that tests can answer
// them without a modal window (setTestMode, setNextAnswer) and read what was shown.
class MessageBox
{
public:
    enum Button
    {
        NoButton = 0,
        Ok = 0x400,
        Cancel = 0x400000,
        Yes = 0x4000,
        No = 0x10000
    };
    enum Icon
    {
        NoIcon,
        Information,
        Warning,
        Critical,
        Question
    };

    struct Shown
    {
        Icon icon;
        QString caption;
        QString text;
        int buttons;
    };

    // A box with the given icon, caption, text and buttons (a combination of Button);
    // returns the button pressed, or Cancel/NoButton when the box was closed otherwise.
    static Button show(QWidget* parent, Icon icon, const QString& caption, const QString& text, int buttons,
                       Button defaultButton = Ok);

    // Sets a box up as show() displays it. The button texts "OK" and "Cancel" are set explicitly, so
    // that they stay as the messages give them while Qt's own texts are translated.
    static void prepare(QMessageBox& box, Icon icon, const QString& caption, const QString& text, int buttons,
                        Button defaultButton = Ok);

    // The information message: information icon, caption "Information", one OK.
    static void information(QWidget* parent, const QString& text);

    // The application's error box for an error that no handler catches.
    static void appError(QWidget* parent, const QString& errorText);
    // The error's text with "." added when its last character sorts after ".".
    static QString appErrorText(const QString& errorText);

    // --- test seam ---
    // In test mode no box is ever displayed: each is answered with the next queued
    // answer, or with its default button, and recorded.
    static void setTestMode(bool on);
    static bool isTestMode();
    static void setNextAnswer(Button answer);
    static QList<Shown> shown();
    static QList<Shown> takeShown();
    static void clearShown();
    // Called for every box shown in test mode (a child process under test reports them on stderr).
    static void setShownHook(std::function<void(const Shown&)> hook);
};

// The open-file and save-file dialogs, behind the same kind of seam.
class FileDialog
{
public:
    // Returns the chosen file's full path, or an empty text when the user cancelled.
    static QString getOpenFileName(QWidget* parent, const QString& title, const QString& dir,
                                   const QString& filter);
    // Asks for a file to write, proposing a full path; the user confirms replacing an existing file.
    // Returns the chosen file's full path, or an empty text when the user cancelled.
    static QString getSaveFileName(QWidget* parent, const QString& title, const QString& proposed,
                                   const QString& filter);

    // --- test seam --- (in MessageBox test mode a dialog without a queued answer is cancelled)
    static void setNextOpenFileName(const QString& path);
    static void setNextSaveFileName(const QString& path);
    static int openedCount(); // open and save dialogs together
    static QString lastTitle();
    static QString lastFilter();
    static QString lastProposed(); // the path the last save dialog proposed
};
