#include "Startup.h"
#include "cli/CommandLine.h"

int main(int argc, char** argv)
{
    // With the command line's arguments the program works in the terminal and opens no window.
    if (cli::wanted(argc, argv))
        return cli::run(argc, argv);
    return Startup::run(argc, argv);
}
