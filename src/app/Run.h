#pragma once

#include <functional>

namespace vantrell::app {

class Program;

// The whole program's run: the application object, the built-in environment, the real
// message boxes, the program and its main window, the event loop. `attach` (may be empty)
// is handed the program before its main window is shown.
int runProgram(int argc, char* argv[], const std::function<void(Program&)>& attach = {});

} // namespace vantrell::app
