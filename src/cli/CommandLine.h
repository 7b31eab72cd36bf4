#pragma once

#include <QStringList>

// The program run with arguments, for scripts and cron: lists, exports, imports and calendars of the
// portfolio in the same data folder as the window, with the same lock. Never opens a window and needs no
// display; the one-running-copy rule of the window does not apply to it.
namespace cli {

enum Exit
{
    kDone = 0,
    kUserError = 1, // wrong arguments, a wrong password, a file that is not there
    kDataError = 2, // the database or a file cannot be read or written
};

// Whether these arguments (without the program's name) ask for the command line rather than the window.
bool wanted(const QStringList& arguments);
bool wanted(int argc, char** argv);

// Runs the command line and returns the exit code.
int run(int argc, char** argv);

// The text of --help.
QString helpText();

} // namespace cli
