#include "PrefsFixture.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <limits>

#include <sys/stat.h>

using namespace pictomat::prefs;

namespace pictomat::test {
namespace {

using Store = PrefsTest;

// Runs a Python check against the domain file; the script gets `d`, the
// loaded dictionary, and fails by raising.
void checkWithPlistlib(const QString& path, const QString& checks)
{
    const ProcessResult r = RunPython(QStringLiteral("import plistlib, sys, datetime\n"
                                                     "d = plistlib.load(open(sys.argv[1], 'rb'))\n")
                                          + checks,
                                      {path});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

TEST_F(Store, ReadsPlistlibFilesAndKeepsEveryKindWhenRewriting)
{
    writeWithPlistlib(
        QStringLiteral("{'Flag': True, 'Off': False, 'Count': -42, 'Big': 2**63 - 1, 'Huge': 2**64 - 1, 'Ratio': 0.1,"
                       " 'Text': 'a < b & c > d \\u00e9\\U0001F600\\n', 'Empty': '',"
                       " 'When': datetime.datetime(2020, 5, 17, 8, 30, 0), 'Blob': b'\\x00\\x01\\xff',"
                       " 'List': [1, 'two', {'three': 3.5}], 'Nested': {'inner': [True, b'x']}}"));
    PreferenceStore s(plistPath());
    ASSERT_TRUE(s.synchronize());
    EXPECT_EQ(s.copyValue("Flag"), QVariant(true));
    EXPECT_EQ(s.copyValue("Off"), QVariant(false));
    EXPECT_EQ(s.copyValue("Count"), QVariant(qint64(-42)));
    EXPECT_EQ(s.copyValue("Big"), QVariant(qint64(9223372036854775807LL)));
    EXPECT_EQ(s.copyValue("Ratio"), QVariant(0.1));
    EXPECT_EQ(s.copyValue("Text"), QVariant(QStringLiteral("a < b & c > d \u00e9\U0001F600\n")));
    EXPECT_EQ(s.copyValue("Empty"), QVariant(QString("")));
    for (const char* opaque : {"Huge", "When", "Blob", "List", "Nested"})
        EXPECT_EQ(s.copyValue(opaque).metaType(), QMetaType::fromType<PreferenceStore::OpaqueValue>()) << opaque;
    EXPECT_FALSE(s.copyValue("Absent").isValid());

    ASSERT_TRUE(s.setValue("Added", 1.5));
    ASSERT_TRUE(s.setValue("Count", 7));
    s.removeValue("Off");
    ASSERT_TRUE(s.synchronize()) << s.lastError().toStdString();
    EXPECT_TRUE(plistBytes().contains("<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\""));
    checkWithPlistlib(plistPath(),
                      "assert d['Flag'] is True and 'Off' not in d, d\n"
                      "assert d['Count'] == 7 and d['Added'] == 1.5 and d['Ratio'] == 0.1, d\n"
                      "assert d['Big'] == 2**63 - 1 and d['Huge'] == 2**64 - 1, d\n"
                      "assert d['Text'] == 'a < b & c > d \\u00e9\\U0001F600\\n', repr(d['Text'])\n"
                      "assert d['Empty'] == ''\n"
                      "assert d['When'] == datetime.datetime(2020, 5, 17, 8, 30, 0), d['When']\n"
                      "assert d['Blob'] == b'\\x00\\x01\\xff', d['Blob']\n"
                      "assert d['List'] == [1, 'two', {'three': 3.5}], d['List']\n"
                      "assert d['Nested'] == {'inner': [True, b'x']}, d['Nested']\n");
}

TEST_F(Store, WritesKindsThatPlistlibReadsAsTheSameKinds)
{
    PreferenceStore s(plistPath());
    ASSERT_TRUE(s.setValue("IconSize", qint16(256)));
    ASSERT_TRUE(s.setValue("Red", 0.30000001192092896f));
    ASSERT_TRUE(s.setValue("Flag", false));
    ASSERT_TRUE(s.setValue("Path", QStringLiteral("/home/u/Bilder & <Icons>")));
    ASSERT_TRUE(s.setValue("Key with <markup> & space", true));
    ASSERT_TRUE(s.setValue("Lines", QStringLiteral("a\r\nb\tc")));
    // Text a property list cannot hold is refused rather than written broken.
    EXPECT_FALSE(s.setValue("Bell", QStringLiteral("ding\x07")));
    EXPECT_FALSE(s.setValue("Bad\x01Key", true));
    EXPECT_FALSE(s.setValue("List", QVariant(QStringList{"a"})));
    ASSERT_TRUE(s.synchronize()) << s.lastError().toStdString();
    checkWithPlistlib(plistPath(),
                      "assert d == {'IconSize': 256, 'Red': 0.30000001192092896, 'Flag': False,"
                      " 'Path': '/home/u/Bilder & <Icons>', 'Key with <markup> & space': True,"
                      " 'Lines': 'a\\r\\nb\\tc'}, d\n"
                      "assert type(d['IconSize']) is int and type(d['Red']) is float\n");
    // And this process reads its own file back the same way.
    PreferenceStore again(plistPath());
    again.synchronize();
    EXPECT_EQ(again.copyValue("Red"), QVariant(double(0.30000001192092896f)));
    EXPECT_EQ(again.copyValue("Key with <markup> & space"), QVariant(true));
    EXPECT_EQ(again.copyValue("Lines"), QVariant(QStringLiteral("a\r\nb\tc")));
}

// The values both binary writers get; plistutil's copy has no uids, since the
// XML it is made from cannot carry them.
const char kBinaryValues[] =
    "{'IconSize': 256, 'IncludeMakeIcons': False, 'BackgroundColorRedComponent': 0.25, 'Ratio': 0.1,"
    " 'ImageFolderPathname': '/tmp/\\u00e9 & <x>\\n', 'Big': 2**63 - 1, 'Huge': 2**64 - 1, 'Neg': -2**63,"
    " 'When': datetime.datetime(2020, 5, 17, 8, 30), 'Old': datetime.datetime(1900, 1, 1),"
    " 'Blob': b'\\x00\\x01\\xff', 'Empty': [], 'Nested': {'inner': [True, b'x', 1.5], 'deep': {'u': UID(7)}},"
    " 'Uid': UID(300)}";

TEST_F(Store, BinaryListsFromPlistlibAndPlistutilAreReadAndRewrittenAsXmlWithEveryValue)
{
    // uids become the one-key dictionaries XML property lists use for them.
    const QString compare = QStringLiteral(
        "import plistlib, sys, datetime\n"
        "def xml_form(v):\n"
        "    if isinstance(v, plistlib.UID): return {'CF$UID': v.data}\n"
        "    if isinstance(v, dict): return {k: xml_form(x) for k, x in v.items()}\n"
        "    if isinstance(v, list): return [xml_form(x) for x in v]\n"
        "    return v\n"
        "assert open(sys.argv[1], 'rb').read().startswith(b'<?xml')\n"
        "d = plistlib.load(open(sys.argv[1], 'rb'))\n"
        "o = plistlib.load(open(sys.argv[2], 'rb'))\n"
        "assert d.pop('ImageQuality') == 2 and d == xml_form(o), (d, o)\n");
    for (const bool byPlistutil : {false, true}) {
        SCOPED_TRACE(byPlistutil ? "plistutil" : "plistlib");
        const QString original = work() + "/original.plist";
        ProcessResult r =
            RunPython(QStringLiteral("import plistlib, sys, datetime\n"
                                     "from plistlib import UID\n"
                                     "d = %1\n"
                                     "if sys.argv[2] == 'xml':\n"
                                     "    del d['Uid'], d['Nested']['deep']\n"
                                     "plistlib.dump(d, open(sys.argv[1], 'wb'),"
                                     " fmt=plistlib.FMT_XML if sys.argv[2] == 'xml' else plistlib.FMT_BINARY)\n")
                          .arg(QLatin1String(kBinaryValues)),
                      {original, byPlistutil ? "xml" : "binary"});
        ASSERT_EQ(r.exitCode, 0) << r.err.constData();
        if (byPlistutil) {
            r = RunProcess("plistutil", {"-i", original, "-o", original + ".bin", "-f", "bin"});
            ASSERT_EQ(r.exitCode, 0) << r.err.constData();
            ASSERT_TRUE(QFile::remove(original) && QFile::rename(original + ".bin", original));
        }
        QFile::remove(plistPath());
        ASSERT_TRUE(QFile::copy(original, plistPath()));
        ASSERT_TRUE(plistBytes().startsWith("bplist00"));
        renewDomain();

        EXPECT_EQ(GetIconSizePreference(domain()), 256);
        EXPECT_FALSE(GetBooleanPreference(domain(), key::IncludeMakeIcons));
        float red = 0, green = 0, blue = 0, alpha = 0;
        GetBackgroundColorPreference(domain(), red, green, blue, alpha);
        EXPECT_EQ(red, 0.25f);
        EXPECT_EQ(GetStringPreference(domain(), key::ImageFolderPathname), QStringLiteral("/tmp/\u00e9 & <x>\n"));
        EXPECT_EQ(domain().copyValue("Neg"), QVariant(std::numeric_limits<qint64>::min()));
        EXPECT_TRUE(domain().readError().isEmpty());

        store(key::ImageQuality, qint64(2));
        EXPECT_TRUE(domain().keptCopy().isEmpty()) << "nothing was lost, so nothing is kept";
        r = RunPython(compare, {plistPath(), original});
        EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    }
}

TEST_F(Store, WhatXmlCannotHoldKeepsTheBinaryOriginalAndUidElementsStayAsTheyAre)
{
    // XML dates hold whole seconds: the binary file is kept beside the XML.
    const ProcessResult r = RunPython(
        "import plistlib, sys, datetime\n"
        "plistlib.dump({'Frac': datetime.datetime(2020, 5, 17, 8, 30, 0, 500000)}, open(sys.argv[1], 'wb'),"
        " fmt=plistlib.FMT_BINARY)\n",
        {plistPath()});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QByteArray binary = plistBytes();
    store(key::IconSize, qint64(64));
    EXPECT_EQ(domain().keptCopy(), plistPath() + ".binary");
    EXPECT_EQ(readAll(plistPath() + ".binary"), binary);
    checkWithPlistlib(plistPath(), "assert d == {'IconSize': 64, 'Frac': datetime.datetime(2020, 5, 17, 8, 30)}, d\n");

    // Another tool's <uid> element is no damage and comes back unchanged.
    writeFile(plistPath(), "<plist><dict><key>U</key><uid>5</uid><key>A</key><true/></dict></plist>");
    renewDomain();
    store(key::IconSize, qint64(32));
    EXPECT_TRUE(domain().keptCopy().isEmpty());
    EXPECT_TRUE(plistBytes().contains("<key>U</key>\n\t<uid>5</uid>\n")) << plistBytes().constData();
    EXPECT_EQ(domain().copyValue("A"), QVariant(true));
}

TEST_F(Store, MergesKeyByKeyWithWhatAnotherWriterStored)
{
    PreferenceStore a(plistPath());
    PreferenceStore b(plistPath());
    ASSERT_TRUE(a.setValue("Shared", 1));
    ASSERT_TRUE(a.setValue("Doomed", true));
    ASSERT_TRUE(a.synchronize());
    ASSERT_TRUE(b.synchronize());
    EXPECT_EQ(b.copyValue("Shared"), QVariant(qint64(1)));

    // b changes Shared and removes Doomed; a, which read them earlier, then
    // writes only a key of its own: b's changes stand.
    ASSERT_TRUE(b.setValue("Shared", 2));
    b.removeValue("Doomed");
    ASSERT_TRUE(b.synchronize());
    ASSERT_TRUE(a.setValue("OwnKey", QStringLiteral("a")));
    ASSERT_TRUE(a.synchronize());
    EXPECT_EQ(a.copyValue("Shared"), QVariant(qint64(2)));
    EXPECT_FALSE(a.copyValue("Doomed").isValid());
    checkWithPlistlib(plistPath(), "assert d == {'Shared': 2, 'OwnKey': 'a'}, d\n");

    // A value set but not yet synchronised is what this process reads.
    ASSERT_TRUE(a.setValue("Shared", 3));
    EXPECT_EQ(a.copyValue("Shared"), QVariant(qint64(3)));
    b.synchronize();
    EXPECT_EQ(b.copyValue("Shared"), QVariant(qint64(2)));
}

TEST_F(Store, TwoProcessesWritingAtOnceLoseNoKey)
{
    const int count = 100;
    QProcess first, second;
    first.start(QStringLiteral(PREFS_WRITER), {plistPath(), "First", QString::number(count)});
    second.start(QStringLiteral(PREFS_WRITER), {plistPath(), "Second", QString::number(count)});
    ASSERT_TRUE(first.waitForFinished(60000));
    ASSERT_TRUE(second.waitForFinished(60000));
    EXPECT_EQ(first.exitCode(), 0) << first.readAllStandardError().constData();
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().constData();
    checkWithPlistlib(plistPath(),
                      QStringLiteral("n = %1\n"
                                     "want = {p + str(i): i for p in ('First', 'Second') for i in range(n)}\n"
                                     "missing = sorted(set(want) - set(d))\n"
                                     "assert not missing and d == want, missing[:10]\n")
                          .arg(count));
    // No temporary files are left behind.
    const QStringList left = QDir(configHome()).entryList(QDir::Files);
    EXPECT_EQ(left, QStringList({"com.corvane.Pictomat.plist", "com.corvane.Pictomat.plist.lock"}));
}

TEST_F(Store, DamagedFileGivesDefaultsAndIsKeptBeforeBeingReplaced)
{
    qputenv("PICTOMAT_LOG_STDERR", "1");
    const QByteArray damaged = "<?xml version=\"1.0\"?><plist><dict><key>IconSize</key><integer>64";
    writeFile(plistPath(), damaged);
    testing::internal::CaptureStderr();
    EXPECT_EQ(GetIconSizePreference(domain()), 128);
    EXPECT_TRUE(GetBooleanPreference(domain(), key::IncludeMakeIcons));
    EXPECT_EQ(GetImageQualityPreference(domain()), 1023);
    const QString log = QString::fromStdString(testing::internal::GetCapturedStderr());
    qunsetenv("PICTOMAT_LOG_STDERR");
    EXPECT_EQ(log.count("not a valid property list"), 1) << log.toStdString();
    EXPECT_EQ(readAll(plistPath()), damaged); // reading leaves it alone

    store(key::IconSize, qint64(256));
    EXPECT_EQ(readAll(plistPath() + ".corrupt"), damaged);
    EXPECT_EQ(domain().keptCopy(), plistPath() + ".corrupt");
    EXPECT_EQ(GetIconSizePreference(domain()), 256);
    checkWithPlistlib(plistPath(), "assert d == {'IconSize': 256}, d\n");

    // A second, different damage does not replace the first copy.
    const QByteArray other = "bplist00 not xml at all";
    writeFile(plistPath(), other);
    store(key::IconSize, qint64(64));
    EXPECT_EQ(readAll(plistPath() + ".corrupt"), damaged);
    EXPECT_EQ(readAll(plistPath() + ".corrupt.1"), other);
}

TEST_F(Store, TextThatIsNoPropertyListIsDamagedButAnEmptyFileIsAnEmptyDomain)
{
    const char* damaged[] = {
        "<plist><dict><key>A</key><integer>12x</integer></dict></plist>",
        "<plist><dict><key>A</key><real>fast</real></dict></plist>",
        "<plist><dict><key>A</key><colour>red</colour></dict></plist>",
        "<plist><dict><key>A</key></dict></plist>",
        "<plist><dict><string>no key</string></dict></plist>",
        "<plist><array><true/></array></plist>",
        "<plist><dict><key>A</key><true/></dict><dict/></plist>",
        "<plist><dict><key>A</key><true/></dict></plist> trailing",
        "<plist><dict><key>A</key><true>yes</true></dict></plist>",
        // A lone surrogate (UTF-7 "+2rY-"): no XML text, and no UTF-8 to write it back as.
        "<?xml version=\"1.0\" encoding=\"UTF-7\"?><plist><dict><key>A+2rY-</key><true/></dict></plist>",
        "{\"json\": true}",
    };
    for (const char* text : damaged) {
        writeFile(plistPath(), text);
        PreferenceStore s(plistPath());
        s.synchronize();
        EXPECT_FALSE(s.readError().isEmpty()) << text;
        EXPECT_TRUE(s.keys().isEmpty()) << text;
    }
    for (const char* text : {"", "\n  \n"}) {
        writeFile(plistPath(), text);
        PreferenceStore s(plistPath());
        s.synchronize();
        EXPECT_TRUE(s.readError().isEmpty());
        ASSERT_TRUE(s.setValue("A", 1));
        ASSERT_TRUE(s.synchronize());
        EXPECT_TRUE(s.keptCopy().isEmpty());
    }
    // A key with a NUL in a binary list made libplist abort the program.
    const ProcessResult r = RunPython(
        "import plistlib, sys\n"
        "plistlib.dump({'A\\0B': True}, open(sys.argv[1], 'wb'), fmt=plistlib.FMT_BINARY)\n",
        {plistPath()});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    {
        PreferenceStore s(plistPath());
        s.synchronize();
        EXPECT_TRUE(s.readError().contains("NUL")) << s.readError().toStdString();
        EXPECT_TRUE(s.keys().isEmpty());
    }
    // Hexadecimal integers and a bare dictionary are read as plistlib reads them.
    writeFile(plistPath(), "<dict><key>A</key><integer>0x1F</integer><key>B</key><integer>-0x10</integer></dict>");
    PreferenceStore s(plistPath());
    s.synchronize();
    EXPECT_EQ(s.copyValue("A"), QVariant(qint64(31)));
    EXPECT_EQ(s.copyValue("B"), QVariant(qint64(-16)));
}

TEST_F(Store, UnusableFolderOrFileGivesDefaultsAndWritesFailClearly)
{
    // A configuration folder that cannot exist: its parent is a file. This
    // holds for every user, root included.
    writeFile(QStringLiteral("blocker"), "x");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(work() + "/blocker/config"));
    renewDomain();
    EXPECT_EQ(GetIconSizePreference(domain()), 128);
    PreferenceStore& blocked = domain();
    ASSERT_TRUE(blocked.setValue(key::IconSize, 256));
    EXPECT_FALSE(blocked.synchronize());
    EXPECT_TRUE(blocked.lastError().contains(work() + "/blocker/config")) << blocked.lastError().toStdString();

    // A preference "file" that cannot be read is never replaced unseen.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome()));
    renewDomain();
    ASSERT_TRUE(QDir().mkpath(plistPath()));
    EXPECT_TRUE(GetBooleanPreference(domain(), key::AddCustomIcon));
    PreferenceStore& s = domain();
    EXPECT_FALSE(s.readError().isEmpty());
    ASSERT_TRUE(s.setValue(key::AddCustomIcon, false));
    EXPECT_FALSE(s.synchronize());
    EXPECT_TRUE(s.lastError().contains(plistPath())) << s.lastError().toStdString();
    EXPECT_TRUE(QFileInfo(plistPath()).isDir());

    // A pipe in its place must not hang the reader.
    ASSERT_TRUE(QDir().rmdir(plistPath()));
    ASSERT_EQ(::mkfifo(QFile::encodeName(plistPath()).constData(), 0600), 0);
    renewDomain();
    EXPECT_EQ(GetImageQualityPreference(domain()), 1023);
    EXPECT_FALSE(domain().readError().isEmpty());
}

TEST_F(Store, ALinkedPreferenceFileStaysALink)
{
    const QString real = work() + "/dotfiles/pictomat.plist";
    writeFile(real, "");
    ASSERT_TRUE(QFile::link(real, plistPath()));
    store(key::IconSize, qint64(32));
    EXPECT_TRUE(QFileInfo(plistPath()).isSymLink());
    checkWithPlistlib(real, "assert d == {'IconSize': 32}, d\n");

    // A link whose file is not there yet gets it; one into missing folders
    // fails, and the folders are not made.
    ASSERT_TRUE(QFile::remove(real));
    store(key::IconSize, qint64(48));
    checkWithPlistlib(real, "assert d == {'IconSize': 48}, d\n");
    ASSERT_TRUE(QFile::remove(plistPath()));
    ASSERT_TRUE(QFile::link(work() + "/gone/deeper/pictomat.plist", plistPath()));
    renewDomain();
    auto& linked = domain();
    linked.setValue(QString::fromLatin1(key::IconSize), qint64(64));
    EXPECT_FALSE(linked.synchronize());
    EXPECT_TRUE(linked.lastError().contains(work() + "/gone/deeper")) << linked.lastError().toStdString();
    EXPECT_FALSE(QFileInfo::exists(work() + "/gone"));
    EXPECT_TRUE(QFileInfo(plistPath()).isSymLink());
}

} // namespace
} // namespace pictomat::test
