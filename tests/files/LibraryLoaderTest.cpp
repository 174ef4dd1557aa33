// The libraries the program opens when first needed, as this build names
// them: each one opens here with every function its table lists, and a
// library that is missing or lacks a function costs the command that needs
// it, with that command's message, and one line in the log.

#include "files/SharedLibrary.h"
#include "icns/IcnsLibraries.h"
#include "read/ReaderLibraries.h"
#include "platform/PlatformLibraries.h"
#include "prefs/PrefsLibraries.h"
#include "web/WebLibraries.h"

#include "TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryFile>

#include <libdeflate.h>

#include <dlfcn.h>
#include <unistd.h>

#include <functional>

using namespace pictomat;
using namespace pictomat::test;

extern "C" int pictomat_function_no_library_has(int);

namespace {

#define PICTOMAT_TEST_NAME(function) #function,

struct Listed {
    const char* id;
    QByteArray file;
    QList<const char*> functions;
};

// Every library and module the build names, each with its table's functions.
QList<Listed> librariesListed()
{
    QList<Listed> all;
#define PICTOMAT_TEST_LIBRARY(id, soname) all.append({#id, soname, {PICTOMAT_##id##_FUNCTIONS(PICTOMAT_TEST_NAME)}});
    PICTOMAT_LIBRARIES(PICTOMAT_TEST_LIBRARY)
    return all;
}

QList<Listed> modulesListed()
{
    QList<Listed> all;
#define PICTOMAT_TEST_MODULE(id, file)                                                                                 \
    all.append(                                                                                                        \
        {#id, PICTOMAT_BUILD_DIR "/" PICTOMAT_MODULE_DIR "/" file, {PICTOMAT_##id##_FUNCTIONS(PICTOMAT_TEST_NAME)}});
    PICTOMAT_MODULES(PICTOMAT_TEST_MODULE)
    return all;
}

void expectOpensWhole(const Listed& library)
{
    void* handle = ::dlopen(library.file.constData(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << library.id << ": " << ::dlerror();
    for (const char* function : library.functions)
        EXPECT_NE(::dlsym(handle, function), nullptr) << library.file.constData() << " has no " << function;
    ::dlclose(handle);
}

// What the program logs while `work` runs (the log's copy on standard error).
QByteArray loggedDuring(const std::function<void()>& work)
{
    QTemporaryFile into;
    if (!into.open())
        return "no temporary file";
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(into.handle(), STDERR_FILENO);
    qputenv("PICTOMAT_LOG_STDERR", "1");
    work();
    qunsetenv("PICTOMAT_LOG_STDERR");
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    into.seek(0);
    return into.readAll();
}

TEST(Libraries, EveryLibraryTheBuildNamesOpensWithEveryFunctionOfItsTable)
{
    const QList<Listed> libraries = librariesListed();
    QStringList ids;
    for (const Listed& library : libraries) {
        ids.append(QString::fromLatin1(library.id));
        expectOpensWhole(library);
    }
    // The ones every build has (ISA-L, libcanberra and ALSA are optional).
    for (const char* id : {"TIFF", "HEIF", "RSVG", "CAIRO", "AVUTIL", "AVCODEC", "AVFORMAT", "SWSCALE", "LCMS2",
                           "OPENJP2", "DEFLATE", "PLIST", "XML2"})
        EXPECT_TRUE(ids.contains(QLatin1String(id))) << id << " is not among " << ids.join(' ').toStdString();
}

TEST(Libraries, OurModulesOpenWithTheirEntryPoints)
{
    const QList<Listed> modules = modulesListed();
    EXPECT_EQ(modules.size(), 2);
    for (const Listed& module : modules)
        expectOpensWhole(module);
}

#define PICTOMAT_TEST_COMPLETE(X) X(libdeflate_crc32)
#define PICTOMAT_TEST_INCOMPLETE(X) X(libdeflate_crc32) X(pictomat_function_no_library_has)
struct Complete {
    PICTOMAT_LIBRARY_TABLE(PICTOMAT_TEST_COMPLETE)
};
struct Incomplete {
    PICTOMAT_LIBRARY_TABLE(PICTOMAT_TEST_INCOMPLETE)
};
struct OfNoLibrary {
    PICTOMAT_LIBRARY_TABLE(PICTOMAT_TEST_COMPLETE)
};

TEST(Libraries, AMissingLibraryOrFunctionGivesNothingAndIsLoggedOnce)
{
    const QByteArray log = loggedDuring([] {
        const Complete* complete = LoadLibrary<Complete>(PICTOMAT_LIBRARY_DEFLATE);
        ASSERT_NE(complete, nullptr);
        // The function itself: the CRC-32 check value.
        EXPECT_EQ(complete->libdeflate_crc32(0, "123456789", 9), 0xCBF43926u);
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(LoadLibrary<Incomplete>(PICTOMAT_LIBRARY_DEFLATE), nullptr);
            EXPECT_EQ(LoadLibrary<OfNoLibrary>("libpictomat-nowhere.so.0"), nullptr);
            EXPECT_EQ(OpenLibrary("libpictomat-nowhere.so.0"), nullptr);
        }
        // Another table of the same library is whole all the same.
        EXPECT_EQ(LoadLibrary<Complete>(PICTOMAT_LIBRARY_DEFLATE), complete);
    });
    EXPECT_EQ(log.count("pictomat_function_no_library_has"), 1) << log.constData();
    EXPECT_EQ(log.count("Cannot load libpictomat-nowhere.so.0"), 1) << log.constData();
    EXPECT_FALSE(log.contains("libdeflate_crc32")) << log.constData();
}

class LibraryMissing : public TestEnv {
protected:
    void SetUp() override
    {
        TestEnv::SetUp();
        // Nothing is opened or revealed, and no custom icon is asked of a
        // metadata service that the test session may lack.
        for (const char* key : {"OpenImageFileForMe", "OpenImageFolderForMe", "AddCustomIcon"}) {
            const ProcessResult r = RunPictomat({"defaults", "write", key, "-bool", "false"});
            ASSERT_EQ(r.exitCode, 0) << r.err.constData();
        }
    }
};

// A libheif that lacks every function (a stand-in of the same soname found
// first): HEIF photos fail as pictures no reader takes, with the command's
// own messages, and the log says once what is missing. Nothing else breaks.
TEST_F(LibraryMissing, CostsItsCommandWithTheCommandsOwnMessage)
{
    const QString png = work() + "/green.png";
    QImage green(64, 64, QImage::Format_RGB32);
    green.fill(Qt::green);
    ASSERT_TRUE(green.save(png));
    const QString first = work() + "/first.heic", second = work() + "/second.heic", third = work() + "/third.heic";
    for (const QString& heic : {first, second, third}) {
        const ProcessResult made = RunProcess(QStringLiteral("heif-enc"), {png, QStringLiteral("-o"), heic});
        if (made.exitCode != 0)
            SERVICE_MISSING() << "heif-enc cannot write HEIF: " << made.err.constData();
    }
    const QString folder = dataHome() + "/Corvane Software/Pictomat";

    const ProcessResult lacking = RunPictomat({"run", "make-media-icon", first, second, png},
                                              {"LD_LIBRARY_PATH=" PICTOMAT_STAND_IN_DIR, "PICTOMAT_LOG_STDERR=1"});
    EXPECT_EQ(lacking.exitCode, 1) << lacking.err.constData();
    EXPECT_EQ(lacking.err.count(".heic: The icon family could not be created. (not a picture, movie or icon file that "
                                "Pictomat reads)\n"),
              2)
        << lacking.err.constData();
    EXPECT_EQ(lacking.err.count("Cannot load " PICTOMAT_LIBRARY_HEIF ": it has no heif_context_alloc,"), 1)
        << lacking.err.constData();
    EXPECT_GT(QFileInfo(folder + "/green.png.icns").size(), 0) << "a PNG needs no libheif";

    // The same photo with the real library.
    const ProcessResult whole = RunPictomat({"run", "make-media-icon", third});
    EXPECT_EQ(whole.exitCode, 0) << whole.err.constData();
    EXPECT_GT(QFileInfo(folder + "/third.heic.icns").size(), 0);
}

} // namespace
