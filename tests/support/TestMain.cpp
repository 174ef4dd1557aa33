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

static void pinGLibDataFolder()
{
    char pattern[] = "/tmp/pictomat-test-metadata-XXXXXX";
    if (!::mkdtemp(pattern))
        return;
    g_metadataHome = pattern;
    const bool had = qEnvironmentVariableIsSet("XDG_DATA_HOME");
    const QByteArray old = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", g_metadataHome);
    g_get_user_data_dir();
    if (had)
        qputenv("XDG_DATA_HOME", old);
    else
        qunsetenv("XDG_DATA_HOME");
}

} // namespace pictomat::test

int main(int argc, char** argv)
{
    pictomat::test::pinGLibDataFolder();
    ::testing::InitGoogleTest(&argc, argv);
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int status = RUN_ALL_TESTS();
    QDir(pictomat::test::PinnedMetadataHome()).removeRecursively();
    return status;
}
