#include "CommandLine.h"

#include "DefaultsTool.h"
#include "IcnsTool.h"
#include "Preferences.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace pictomat {

namespace {
QStringList argumentList(int argc, char** argv)
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    return args;
}
} // namespace

int RunCommandLine(int argc, char** argv)
{
    const QStringList args = argumentList(argc, argv);
    prefs::SetCommandLineArguments(args);
    const QString verb = args.value(1);
    if (verb == QLatin1String("defaults")) {
        QCoreApplication app(argc, argv);
        return prefs::RunDefaultsTool(args.mid(2));
    }
    if (verb == QLatin1String("icns")) {
        QCoreApplication app(argc, argv);
        return icns::RunIcnsTool(args.mid(2));
    }
    std::fprintf(stderr, "pictomat: unknown command\n");
    return 2;
}

} // namespace pictomat
