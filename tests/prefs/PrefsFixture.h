#pragma once

#include "prefs/PreferenceStore.h"
#include "prefs/Preferences.h"
#include "TestEnv.h"

#include <QFile>

namespace pictomat::test {

// A private configuration folder per test, and a shared store that forgets
// the previous test's domain.
class PrefsTest : public TestEnv {
protected:
    void SetUp() override
    {
        TestEnv::SetUp();
        prefs::PreferenceStore::resetShared();
        prefs::SetCommandLineArguments({QStringLiteral("pictomat")});
    }
    void TearDown() override
    {
        prefs::PreferenceStore::resetShared();
        prefs::SetCommandLineArguments({});
        TestEnv::TearDown();
    }

    QString plistPath() const { return configHome() + QStringLiteral("/com.corvane.Pictomat.plist"); }

    QByteArray plistBytes() const
    {
        QFile f(plistPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // Writes the domain with Python's plistlib; `dict` is a Python expression.
    void writeWithPlistlib(const QString& dict)
    {
        const ProcessResult r = RunPython(QStringLiteral("import plistlib, sys, datetime\n"
                                                         "with open(sys.argv[1], 'wb') as f:\n"
                                                         "    plistlib.dump(%1, f)\n")
                                              .arg(dict),
                                          {plistPath()});
        ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    }

    // Stores one value through the store, as the preferences window does.
    void store(const char* key, const QVariant& value)
    {
        prefs::PreferenceStore& s = prefs::PreferenceStore::shared();
        ASSERT_TRUE(s.setValue(QString::fromLatin1(key), value));
        ASSERT_TRUE(s.synchronize()) << s.lastError().toStdString();
    }
};

} // namespace pictomat::test
