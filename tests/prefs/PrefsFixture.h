#pragma once

#include "prefs/PreferenceStore.h"
#include "prefs/Preferences.h"
#include "TestEnv.h"

#include <QFile>

#include <optional>

namespace pictomat::test {

// A private configuration folder per test, and the test's own store of the
// domain there.
class PrefsTest : public TestEnv {
protected:
    void SetUp() override
    {
        TestEnv::SetUp();
        renewDomain();
        prefs::SetCommandLineArguments({QStringLiteral("pictomat")});
    }
    void TearDown() override
    {
        renewDomain();
        prefs::SetCommandLineArguments({});
        TestEnv::TearDown();
    }

    // The domain as the program opens it now (under XDG_CONFIG_HOME as it
    // stands), made at the first use. renewDomain() forgets it, so that the
    // next use reads the file afresh, as a new process would.
    prefs::PreferenceStore& domain()
    {
        if (!m_domain)
            m_domain.emplace(prefs::PreferenceStore::standardPath());
        return *m_domain;
    }
    void renewDomain() { m_domain.reset(); }

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
        prefs::PreferenceStore& s = domain();
        ASSERT_TRUE(s.setValue(QString::fromLatin1(key), value));
        ASSERT_TRUE(s.synchronize()) << s.lastError().toStdString();
    }

private:
    std::optional<prefs::PreferenceStore> m_domain;
};

} // namespace pictomat::test
