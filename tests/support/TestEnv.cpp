#include "TestEnv.h"

#include <QBuffer>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

namespace pictomat::test {

namespace {
void saveAndSet(QList<QPair<QByteArray, std::optional<QByteArray>>>& saved, const char* name, const QString& value)
{
    std::optional<QByteArray> old;
    if (qEnvironmentVariableIsSet(name))
        old = qgetenv(name);
    saved.append({QByteArray(name), old});
    qputenv(name, QFile::encodeName(value));
}
} // namespace

void TestEnv::SetUp()
{
    ASSERT_TRUE(m_dir.isValid());
    for (const QString& d : {home(), configHome(), dataHome(), runtimeDir(), work()})
        ASSERT_TRUE(QDir().mkpath(d));
    QFile::setPermissions(runtimeDir(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    saveAndSet(m_saved, "HOME", home());
    saveAndSet(m_saved, "XDG_CONFIG_HOME", configHome());
    saveAndSet(m_saved, "XDG_DATA_HOME", dataHome());
    saveAndSet(m_saved, "XDG_RUNTIME_DIR", runtimeDir());
}

void TestEnv::TearDown()
{
    for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
        if (it->second)
            qputenv(it->first.constData(), *it->second);
        else
            qunsetenv(it->first.constData());
    }
    m_saved.clear();
}

QByteArray TestEnv::writeFile(const QString& relativePath, const QByteArray& contents)
{
    const QString path = relativePath.startsWith('/') ? relativePath : work() + "/" + relativePath;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        ADD_FAILURE() << "cannot write " << path.toStdString();
    f.write(contents);
    return QFile::encodeName(path);
}

QString TestEnv::recordingOpenerPath()
{
    const QString bin = root() + "/bin";
    QDir().mkpath(bin);
    writeFile(bin + "/xdg-open",
              QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$1\" >> '%1'\n").arg(openedLog()).toUtf8());
    QFile::setPermissions(bin + "/xdg-open", QFile::permissions(bin + "/xdg-open") | QFileDevice::ExeOwner);
    return "PATH=" + bin + ":" + qEnvironmentVariable("PATH");
}

QStringList TestEnv::opened() const
{
    QFile f(openedLog());
    for (int i = 0; i < 50 && !f.exists(); ++i)
        QThread::msleep(100);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

ProcessResult RunProcess(const QString& program, const QStringList& arguments, const QStringList& extraEnvironment,
                         int timeoutMs, const QByteArray& standardInput)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& kv : extraEnvironment) {
        const int eq = kv.indexOf('=');
        if (eq > 0)
            env.insert(kv.left(eq), kv.mid(eq + 1));
        else
            env.remove(kv);
    }
    p.setProcessEnvironment(env);
    p.start(program, arguments);
    ProcessResult r;
    if (!p.waitForStarted(10000)) {
        r.err = "could not start " + program.toUtf8();
        return r;
    }
    if (!standardInput.isEmpty())
        p.write(standardInput);
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) {
        r.timedOut = true;
        p.kill();
        p.waitForFinished(5000);
    }
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return r;
}

QByteArray GioCustomIcon(const QByteArray& item, const QString& metadataHome)
{
    // Python hands the name over as bytes, so names that are not UTF-8 work.
    const ProcessResult r = RunPython(
        "import os, subprocess, sys\n"
        "env = dict(os.environ, XDG_DATA_HOME=sys.argv[2])\n"
        "r = subprocess.run(['gio', 'info', '-a', 'metadata::custom-icon', bytes.fromhex(sys.argv[1])],"
        " env=env, capture_output=True)\n"
        "sys.stderr.write(r.stderr.decode(errors='replace'))\n"
        "print(r.stdout.decode(errors='replace'))\n"
        "sys.exit(r.returncode)",
        {QString::fromLatin1(item.toHex()), metadataHome});
    if (r.exitCode != 0) {
        ADD_FAILURE() << "gio info " << item.constData() << ": " << r.err.toStdString();
        return {};
    }
    const QRegularExpression line(QStringLiteral("metadata::custom-icon: (\\S+)"));
    const QRegularExpressionMatch m = line.match(QString::fromUtf8(r.out));
    if (!m.hasMatch())
        return {};
    const QByteArray uri = m.captured(1).toUtf8();
    return uri.startsWith("file://") ? QByteArray::fromPercentEncoding(uri.mid(7)) : uri;
}

ProcessResult RunPictomat(const QStringList& arguments, const QStringList& extraEnvironment, int timeoutMs)
{
    return RunProcess(QStringLiteral(PICTOMAT_BINARY), arguments, extraEnvironment, timeoutMs);
}

QByteArray PngBytes(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

ProcessResult RunPython(const QString& script, const QStringList& arguments, int timeoutMs)
{
    QStringList args{QStringLiteral("-c"), script};
    args += arguments;
    return RunProcess(QStringLiteral("/usr/bin/python3"), args, {}, timeoutMs);
}

} // namespace pictomat::test
