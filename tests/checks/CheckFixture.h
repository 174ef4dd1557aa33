#pragma once

// What the structure checks' tests share: files written by real encoders and
// by containers.py (which writes the layouts no encoder makes), and a
// check's verdict on a file read both from its bytes and from a descriptor.

#include "checks/ByteSource.h"
#include "files/Error.h"
#include "read/PictureFile.h"

#include "TestEnv.h"

#include <QFile>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

namespace pictomat {

inline void PrintTo(Soundness s, std::ostream* out)
{
    *out << (s == Soundness::Sound ? "Sound" : s == Soundness::TooLarge ? "TooLarge" : "Damaged");
}

namespace test {

class CheckFixture : public TestEnv {
protected:
    QString path(const QString& name) const { return work() + "/" + name; }

    void run(const QString& program, const QStringList& arguments)
    {
        const ProcessResult r = RunProcess(program, arguments, {}, 120000);
        ASSERT_EQ(r.exitCode, 0) << program.toStdString() << " " << arguments.join(' ').toStdString() << ": "
                                 << r.err.toStdString();
    }
    // containers.py with these arguments; file names are taken in the work folder.
    void write(const QStringList& arguments)
    {
        run(QStringLiteral("/usr/bin/python3"),
            QStringList{QStringLiteral(PICTOMAT_SOURCE_DIR "/tests/checks/containers.py")} + arguments);
    }
    void python(const QString& script)
    {
        const ProcessResult r = RunPython(script, {work()}, 120000);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    }

    using Check = std::function<Soundness(const ByteSource&, Error*)>;
    // The verdict on a file, which must be the same from its bytes and from
    // a descriptor; *why gets the reason.
    Soundness verdict(const Check& check, const QString& name, QString* why = nullptr)
    {
        QFile file(path(name));
        if (!file.open(QIODevice::ReadOnly)) {
            ADD_FAILURE() << "cannot open " << name.toStdString();
            return Soundness::Damaged;
        }
        Error byDescriptor, byBytes;
        const Soundness fromDescriptor = check(ByteSource(file.handle()), &byDescriptor);
        const Soundness fromBytes = check(ByteSource(file.readAll()), &byBytes);
        EXPECT_EQ(fromDescriptor, fromBytes) << name.toStdString();
        EXPECT_EQ(byDescriptor.message, byBytes.message) << name.toStdString();
        if (why)
            *why = byBytes.message;
        return fromBytes;
    }
};

} // namespace test
} // namespace pictomat
