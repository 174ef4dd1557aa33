// "pictomat run" from a shell: the same dispatcher, with the launcher that
// opens folders observed through a recording xdg-open.

#include "TestEnv.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QThread>

namespace pictomat::test {
namespace {

class RunCommandTest : public TestEnv {
protected:
    void SetUp() override
    {
        TestEnv::SetUp();
        const QString bin = root() + "/bin";
        QDir().mkpath(bin);
        m_log = root() + "/opened.log";
        writeFile(bin + "/xdg-open", QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$1\" >> '%1'\n").arg(m_log).toUtf8());
        QFile::setPermissions(bin + "/xdg-open", QFile::permissions(bin + "/xdg-open") | QFileDevice::ExeOwner);
        m_environment = {"PATH=" + bin + ":" + qEnvironmentVariable("PATH"), "DISPLAY", "WAYLAND_DISPLAY",
                         "QT_QPA_PLATFORM"};
    }
    QStringList opened() const
    {
        QFile f(m_log);
        for (int i = 0; i < 50 && !f.exists(); ++i)
            QThread::msleep(100);  // the launcher runs detached
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }

    QString m_log;
    QStringList m_environment;
};

TEST_F(RunCommandTest, GoToFolderOpensTheOutputFolderWithoutADisplay)
{
    const ProcessResult r = RunPictomat({"run", "go-to-folder"}, m_environment);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(opened(), QStringList{"file://" + dataHome() + "/Corvane%20Software/Pictomat"});
    EXPECT_TRUE(QFileInfo(dataHome() + "/Corvane Software/Pictomat").isDir());
}

TEST_F(RunCommandTest, UsageErrorsAreStatusTwoAndRunNothing)
{
    for (const QStringList& args : {QStringList{"run"}, QStringList{"run", "make-icon"}, QStringList{"run", "export"},
                                    QStringList{"run", "export", "nosuchformat", "/tmp"}, QStringList{"run", "explode", "x"}}) {
        const ProcessResult r = RunPictomat(args, m_environment);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString() << r.err.toStdString();
        EXPECT_FALSE(r.err.isEmpty());
    }
    EXPECT_FALSE(QFile::exists(m_log));
    EXPECT_FALSE(QFile::exists(dataHome() + "/Corvane Software"));
}

} // namespace
} // namespace pictomat::test
