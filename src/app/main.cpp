#include "app/Run.h"

int main(int argc, char* argv[])
{
    return vantrell::app::runProgram(argc, argv);
}
