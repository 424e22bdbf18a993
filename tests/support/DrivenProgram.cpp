// The program exactly as main() runs it, with a ProgramDriver listening on standard input, so
// an end-to-end test can work its windows. Built by the test suite only, never installed.
#include "app/Program.h"
#include "app/Run.h"
#include "support/ProgramDriver.h"
#include "ui/lobby/TForm1.h"

int main(int argc, char* argv[])
{
    return vantrell::app::runProgram(argc, argv, [](vantrell::app::Program& program) {
        // Owned by the main window, so it lives exactly as long as the windows.
        new ProgramDriver(&program.mainWindow());
    });
}
