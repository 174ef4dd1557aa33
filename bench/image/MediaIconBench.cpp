// Makes an .icns file from a picture or a movie's poster frame the way "Make
// Icon for Media" renders it (in the reading worker; --movie is kept for the
// scripts, the file's bytes tell a movie), as a process of its own so that a benchmark can
// time it whole against other tools.
//
//   bench_media_icon [--movie] [--repeat N] INPUT OUTPUT.icns

#include "files/FileIO.h"
#include "icns/IconFamily.h"
#include "worker/ReadingWorker.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int repeat = 1;
    int first = 1;
    for (; first < argc && argv[first][0] == '-'; ++first) {
        if (std::strcmp(argv[first], "--movie") == 0)
            continue;
        if (std::strcmp(argv[first], "--repeat") == 0 && first + 1 < argc)
            repeat = std::max(1, std::atoi(argv[++first]));
    }
    if (argc - first != 2) {
        std::fprintf(stderr, "usage: %s [--movie] [--repeat N] INPUT OUTPUT.icns\n", argv[0]);
        return 2;
    }
    const QByteArray input = argv[first];
    const QByteArray output = argv[first + 1];

    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < repeat; ++i) {
        const std::optional<pictomat::icns::IconFamily> family = pictomat::ReadIconFamilyFromMedia(input);
        if (!family) {
            std::fprintf(stderr, "no icon family from %s\n", input.constData());
            return 1;
        }
        pictomat::Error error;
        if (!pictomat::WriteFileAtomically(pictomat::FileRef::fromLocalPath(output), family->toIcns(), &error)) {
            std::fprintf(stderr, "cannot write %s: %s\n", output.constData(), qPrintable(error.message));
            return 1;
        }
    }
    std::fprintf(stderr, "%.1f ms per icon\n", double(timer.nsecsElapsed()) / 1e6 / repeat);
    return 0;
}
