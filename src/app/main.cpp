#include "app/CommandLine.h"

int main(int argc, char** argv)
{
    return pictomat::RunCommandLine(argc, argv);
}
