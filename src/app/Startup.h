#pragma once

// Start-up: the single-instance lock, the long-lived objects in their order, the message loop.
namespace Startup {
int run(int& argc, char** argv);
}
