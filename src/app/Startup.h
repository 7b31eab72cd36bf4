#pragma once

#include <functional>

class QApplication;
class QDialog;
class QWidget;

// Start-up: the single-instance lock, the long-lived objects in their order, the message loop.
namespace Startup {

// What a test entry point adds to a run; the shipped program passes none of it.
struct Options
{
    // Called once the application object exists, before any window (a test answers message boxes here).
    std::function<void()> prepared;
    // Called once every window exists, before the main window's show step (which may open the guide).
    std::function<void(QWidget* mainWindow, QDialog* guide)> windowsCreated;
    // Called from the message loop once the main window is shown.
    std::function<void(QApplication&)> shown;
};

int run(int& argc, char** argv, const Options& options = {});

} // namespace Startup
