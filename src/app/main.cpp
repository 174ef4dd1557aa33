#include "app/CommandLine.h"
#include "platform/Desktop.h"

int main(int argc, char** argv)
{
    pictomat::KeepLibraryMessagesOutOfStandardError();
    return pictomat::RunCommandLine(argc, argv);
}
