#include "app/CommandLine.h"
#include "files/Log.h"

int main(int argc, char** argv)
{
    pictomat::InstallLogHandler();
    return pictomat::RunCommandLine(argc, argv);
}
