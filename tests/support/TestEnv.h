#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// A test that cannot run here for want of a service (a session bus, the X
// server, GVfs, a tool). Where the build promises every service (scripts/test
// configures it so), that is a missing install step: the test fails instead.
#ifdef PICTOMAT_SKIP_IS_FAILURE
#define SERVICE_MISSING() GTEST_FAIL() << "a service the suite needs is missing: "
#else
#define SERVICE_MISSING() GTEST_SKIP()
#endif

namespace pictomat::test {

// Gives each test its own HOME, XDG_CONFIG_HOME, XDG_DATA_HOME and
// XDG_RUNTIME_DIR under a temporary folder, restored afterwards.
class TestEnv : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    QString root() const { return m_dir.path(); }
    QString home() const { return m_dir.path() + "/home"; }
    QString configHome() const { return m_dir.path() + "/config"; }
    QString dataHome() const { return m_dir.path() + "/data"; }
    QString runtimeDir() const { return m_dir.path() + "/runtime"; }
    QString work() const { return m_dir.path() + "/work"; } // a scratch folder for inputs
    // The preference domain's file under this test's XDG_CONFIG_HOME, known
    // before SetUp sets that, so that a fixture can make its store as a member.
    QString preferenceFile() const { return configHome() + "/com.corvane.Pictomat.plist"; }

    // Writes a file (creating folders) and returns its path as bytes.
    QByteArray writeFile(const QString& relativePath, const QByteArray& contents);

    // Makes an xdg-open of the test's own that notes each address it is
    // asked to open in openedLog(); returns the PATH that puts it first, for
    // the programs the test runs.
    QString recordingOpenerPath();
    QString openedLog() const { return m_dir.path() + "/opened.log"; }
    // What the recording opener was asked to open, in order. Launchers run
    // detached: the first is waited for a while.
    QStringList opened() const;

private:
    QTemporaryDir m_dir;
    QList<QPair<QByteArray, std::optional<QByteArray>>> m_saved;
};

struct ProcessResult {
    int exitCode = -1;
    bool timedOut = false;
    QByteArray out;
    QByteArray err;
};

// GVfs clients address the metadata store under the data folder GLib saw first
// in a process, while every test brings its own XDG_DATA_HOME. The test main
// settles GLib on this one folder before any test runs; pass it as
// XDG_DATA_HOME to `gio` when reading metadata this process wrote.
QString PinnedMetadataHome();

// The custom icon `gio info` reports for an item, as a local path; empty when
// none is set. metadataHome is the XDG_DATA_HOME of the process that set it.
QByteArray GioCustomIcon(const QByteArray& item, const QString& metadataHome = PinnedMetadataHome());

// Runs a program with the current environment plus the given variables.
ProcessResult RunProcess(const QString& program, const QStringList& arguments, const QStringList& extraEnvironment = {},
                         int timeoutMs = 30000, const QByteArray& standardInput = {});
// Runs the built pictomat executable.
ProcessResult RunPictomat(const QStringList& arguments, const QStringList& extraEnvironment = {},
                          int timeoutMs = 30000);
// A picture as the bytes of a PNG file.
QByteArray PngBytes(const QImage& image);

// Runs /usr/bin/python3 with a script given as text.
ProcessResult RunPython(const QString& script, const QStringList& arguments = {}, int timeoutMs = 30000);

} // namespace pictomat::test
