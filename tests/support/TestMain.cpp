#include "files/Log.h"

#include <QApplication>
#include <QByteArray>

#include <QDir>
#include <QFile>

#include <cstdlib>
#include <glib.h>
#include <gtest/gtest.h>

// Tests that draw, read images or build widgets need an application object;
// they run on Qt's offscreen platform unless a test asks for the X server.
namespace pictomat::test {

static QByteArray g_metadataHome;

QString PinnedMetadataHome()
{
    return QFile::decodeName(g_metadataHome);
}

// Runs `settle` with the variable set to `value`, then puts it back.
static void withVariable(const char* name, const QByteArray& value, void (*settle)())
{
    const bool had = qEnvironmentVariableIsSet(name);
    const QByteArray old = qgetenv(name);
    qputenv(name, value);
    settle();
    if (had)
        qputenv(name, old);
    else
        qunsetenv(name);
}

static void pinGLibDataFolder()
{
    char pattern[] = "/tmp/pictomat-test-metadata-XXXXXX";
    if (!::mkdtemp(pattern))
        return;
    g_metadataHome = pattern;
    withVariable("XDG_DATA_HOME", g_metadataHome, [] { g_get_user_data_dir(); });
    // GIO's Trash goes by the home folder GLib saw first, which must outlive
    // every test of the process.
    withVariable("HOME", g_metadataHome, [] { g_get_home_dir(); });
}

} // namespace pictomat::test

int main(int argc, char** argv)
{
    // The tests read the program's own English texts, whatever language the
    // person running them speaks; the test of the translations asks for its
    // languages itself.
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"})
        qunsetenv(name);
    qputenv("LANG", "C.UTF-8");
    // Tests log as the program does.
    pictomat::InstallLogHandler();
    pictomat::test::pinGLibDataFolder();
    ::testing::InitGoogleTest(&argc, argv);
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int status = RUN_ALL_TESTS();
    QDir(pictomat::test::PinnedMetadataHome()).removeRecursively();
    return status;
}
