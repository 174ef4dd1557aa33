#include "prefs/PreferenceStore.h"
#include "prefs/Preferences.h"
#include "ui/PreferencesWindow.h"
#include "TestEnv.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeySequence>
#include <QLabel>
#include <QMap>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonArray>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <ostream>

// Readable failure messages for Qt values.
void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
void PrintTo(const QJsonArray& array, std::ostream* out)
{
    *out << QJsonDocument(array).toJson(QJsonDocument::Compact).toStdString();
}

using namespace pictomat;
using pictomat::prefs::PreferenceStore;

namespace {

class PreferencesWindowTest : public test::TestEnv {
protected:
    void SetUp() override
    {
        TestEnv::SetUp();
        m_domain.reset();
        m_defaultFolder = dataHome() + "/Corvane Software/Pictomat";
        ASSERT_TRUE(QDir().mkpath(m_defaultFolder));
    }
    void TearDown() override
    {
        m_pref.reset();
        m_domain.reset();
        TestEnv::TearDown();
    }

    // The test's own store of the domain, made at the first use.
    PreferenceStore& domain()
    {
        if (!m_domain)
            m_domain.emplace(PreferenceStore::standardPath());
        return *m_domain;
    }
    QString plistPath() { return domain().filePath(); }

    // Another program writes the domain: Python's plistlib, from a Python
    // dict literal, so the kinds (bool, int, float, str) are its own.
    void storeWithPython(const QString& dictLiteral)
    {
        const auto r = test::RunPython(
            "import plistlib,sys\n"
            "plistlib.dump("
                + dictLiteral + ", open(sys.argv[1], 'wb'))\n",
            {plistPath()});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        // Read afresh, as by a new process; a window open on the old store goes first.
        m_pref.reset();
        m_domain.reset();
    }

    // What another program reads back: key -> [python type name, value].
    QJsonObject readWithPython()
    {
        const auto r = test::RunPython(
            "import plistlib,sys,json,os\n"
            "d = plistlib.load(open(sys.argv[1], 'rb')) if os.path.exists(sys.argv[1]) else {}\n"
            "print(json.dumps({k: [type(v).__name__, v] for k, v in d.items()}))\n",
            {plistPath()});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        return QJsonDocument::fromJson(r.out).object();
    }

    PictomatPref& open(FolderChooser folders = {}, ColorChooser colors = {})
    {
        m_pref = std::make_unique<PictomatPref>(domain(), std::move(folders), std::move(colors));
        return *m_pref;
    }

    template <typename T>
    T* control(const char* name)
    {
        T* found = m_pref->window()->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    void type(const QString& text)
    {
        auto* field = control<QLineEdit>("iconSizeEdit");
        field->clear();
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    }

    QString m_defaultFolder;
    std::optional<PreferenceStore> m_domain;
    std::unique_ptr<PictomatPref> m_pref;
};

QJsonArray kInt(int value)
{
    return QJsonArray{"int", value};
}

TEST_F(PreferencesWindowTest, AnEmptyDomainShowsTheDefaultsAndOpeningWritesNothing)
{
    open();
    EXPECT_EQ(control<QSlider>("iconSizeSlider")->value(), 128);
    EXPECT_EQ(control<QLineEdit>("iconSizeEdit")->text(), "128");
    EXPECT_EQ(control<QComboBox>("imageQualityComboBox")->currentText(), "Maximum");
    EXPECT_EQ(control<QLineEdit>("hexValueEdit")->text(), "#FFFFFF");
    EXPECT_EQ(control<PathLabel>("imageFolderLabel")->toolTip(), m_defaultFolder);
    EXPECT_TRUE(control<QPushButton>("chooseImageFolderButton")->isEnabled());
    EXPECT_TRUE(control<QCheckBox>("IncludeMakeIcons")->isChecked());
    EXPECT_FALSE(control<QCheckBox>("IncludeChangeIconSizes")->isChecked());
    EXPECT_FALSE(control<QCheckBox>("UseItemsFolder")->isChecked());
    EXPECT_FALSE(QFile::exists(plistPath())) << "filling in the window must not store anything";
}

TEST_F(PreferencesWindowTest, IconSizeFieldClampsAndSliderStores)
{
    open();
    const struct {
        const char* typed;
        int stored;
    } cases[] = {{"1000", 1000}, {"1024", 1024},  {"1025", 1024},
                 {"3", 16},      {"0", 16},       {"-5", 16},
                 {"abc", 16},    {"70000", 1024}, {"99999999999999999999", 1024},
                 {"300", 300}};
    for (const auto& c : cases) {
        type(QString::fromLatin1(c.typed));
        EXPECT_EQ(control<QLineEdit>("iconSizeEdit")->text(), QString::number(c.stored)) << c.typed;
        EXPECT_EQ(readWithPython().value("IconSize").toArray(), kInt(c.stored)) << c.typed;
    }

    control<QSlider>("iconSizeSlider")->setValue(200);
    EXPECT_EQ(control<QLineEdit>("iconSizeEdit")->text(), "200");
    EXPECT_EQ(readWithPython().value("IconSize").toArray(), kInt(200));
}

TEST_F(PreferencesWindowTest, ATypedSizeMovesTheSliderSoItsNextStepStartsThere)
{
    open();
    auto* slider = control<QSlider>("iconSizeSlider");
    type("300");
    EXPECT_EQ(slider->value(), 300);
    QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_EQ(control<QLineEdit>("iconSizeEdit")->text(), "301");
    EXPECT_EQ(readWithPython().value("IconSize").toArray(), kInt(301));
}

TEST_F(PreferencesWindowTest, StoredIconSizeAndQualityAreShown)
{
    // A size beyond the slider is shown as stored and not rewritten.
    storeWithPython("{'IconSize': 2000, 'ImageQuality': 2}");
    QFile file(plistPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    open();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()), QString::fromUtf8(before))
        << "filling in the window must not store anything";
    file.close();
    EXPECT_EQ(control<QSlider>("iconSizeSlider")->value(), 1024);
    EXPECT_EQ(control<QLineEdit>("iconSizeEdit")->text(), "2000");
    EXPECT_EQ(control<QComboBox>("imageQualityComboBox")->currentText(), "Normal");

    // An index beyond the items keeps the pop-up where it was.
    storeWithPython("{'ImageQuality': 9}");
    open();
    auto* quality = control<QComboBox>("imageQualityComboBox");
    EXPECT_EQ(quality->currentText(), "Maximum");
    QTest::keyClick(quality, Qt::Key_Down);
    EXPECT_EQ(quality->currentText(), "Lossless");
    EXPECT_EQ(readWithPython().value("ImageQuality").toArray(), kInt(5));
}

TEST_F(PreferencesWindowTest, HexTextOfTheStoredColour)
{
    const struct {
        const char* stored;
        const char* hex;
    } cases[] = {
        {"{}", "#FFFFFF"},
        {"{'BackgroundColorRedComponent': 1.0, 'BackgroundColorGreenComponent': 0.5,"
         " 'BackgroundColorBlueComponent': 0.0}",
         "#FF7F00"},
        {"{'BackgroundColorRedComponent': 0.0}", "#00FFFF"},
        {"{'BackgroundColorRedComponent': 0.01, 'BackgroundColorGreenComponent': 0.0625}", "#020FFF"},
        // Out of range: clamped, still two digits each.
        {"{'BackgroundColorRedComponent': 2.5, 'BackgroundColorGreenComponent': -1.0}", "#FF00FF"},
    };
    for (const auto& c : cases) {
        storeWithPython(QString::fromLatin1(c.stored));
        EXPECT_EQ(FormatBackgroundColorHex(domain()).value_or("none"), QString::fromLatin1(c.hex)) << c.stored;
    }
    open();
    EXPECT_EQ(control<QLineEdit>("hexValueEdit")->text(), "#FF00FF");
}

TEST_F(PreferencesWindowTest, TheColourButtonShowsTheStoredColourOpaqueWhenNoAlphaIsStored)
{
    // What the user sees: the swatch's middle, beside the hex text.
    const auto swatch = [this] {
        auto* button = control<ColorButton>("backgroundColorButton");
        const QImage image = button->icon().pixmap(button->iconSize()).toImage();
        return image.pixelColor(image.width() / 2, image.height() / 2);
    };
    storeWithPython(
        "{'BackgroundColorRedComponent': 1.0, 'BackgroundColorGreenComponent': 0.5,"
        " 'BackgroundColorBlueComponent': 0.0}");
    open();
    EXPECT_EQ(control<QLineEdit>("hexValueEdit")->text(), "#FF7F00");
    const QColor orange = swatch();
    EXPECT_EQ(orange.red(), 255);
    EXPECT_NEAR(orange.green(), 128, 1);
    EXPECT_EQ(orange.blue(), 0);
    EXPECT_EQ(control<ColorButton>("backgroundColorButton")->color().alpha(), 255);

    storeWithPython(
        "{'BackgroundColorRedComponent': 0.0, 'BackgroundColorGreenComponent': 0.0,"
        " 'BackgroundColorBlueComponent': 1.0, 'BackgroundColorAlphaComponent': 0.5}");
    open();
    const QColor shown = control<ColorButton>("backgroundColorButton")->color();
    EXPECT_EQ(shown.rgb(), qRgb(0, 0, 255));
    EXPECT_NEAR(shown.alphaF(), 0.5, 0.01);
}

TEST_F(PreferencesWindowTest, ChoosingAColourStoresFourRealsAndTheHexText)
{
    int asked = 0;
    open({}, [&asked](QWidget*, const QColor& current) -> std::optional<QColor> {
        ++asked;
        if (asked == 1)
            return std::nullopt; // cancelled
        EXPECT_EQ(current, QColor(Qt::white));
        return QColor(255, 0, 0, 128);
    });
    auto* well = control<ColorButton>("backgroundColorButton");
    well->click();
    EXPECT_FALSE(readWithPython().contains("BackgroundColorRedComponent"));
    well->click();
    const QJsonObject stored = readWithPython();
    const QStringList names = {"Red", "Green", "Blue", "Alpha"};
    const double expected[] = {1.0, 0.0, 0.0, 128.0 / 255.0};
    for (int i = 0; i < 4; ++i) {
        const QJsonArray value = stored.value("BackgroundColor" + names[i] + "Component").toArray();
        EXPECT_EQ(value.at(0).toString(), "float") << names[i].toStdString();
        EXPECT_NEAR(value.at(1).toDouble(), expected[i], 0.001) << names[i].toStdString();
    }
    EXPECT_EQ(control<QLineEdit>("hexValueEdit")->text(), "#FF0000");
}

TEST_F(PreferencesWindowTest, UseItemsFolderDisablesTheFolderControls)
{
    storeWithPython("{'UseItemsFolder': True}");
    open();
    auto* box = control<QCheckBox>("UseItemsFolder");
    auto* choose = control<QPushButton>("chooseImageFolderButton");
    auto* path = control<PathLabel>("imageFolderLabel");
    EXPECT_TRUE(box->isChecked());
    EXPECT_FALSE(choose->isEnabled());
    EXPECT_FALSE(path->isEnabled());
    box->click();
    EXPECT_TRUE(choose->isEnabled());
    EXPECT_TRUE(path->isEnabled());
    EXPECT_EQ(readWithPython().value("UseItemsFolder").toArray(), (QJsonArray{"bool", false}));
    box->click();
    EXPECT_FALSE(choose->isEnabled());
}

TEST_F(PreferencesWindowTest, ChangesMadeElsewhereShowAtOnceButSparesWhatIsBeingTyped)
{
    PictomatPref& pref = open();
    pref.showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(pref.window()));
    auto* size = control<QLineEdit>("iconSizeEdit");
    const auto writeElsewhere = [&](const QString& dictLiteral) {
        const auto r = test::RunPython(
            "import plistlib,sys\nplistlib.dump(" + dictLiteral + ", open(sys.argv[1], 'wb'))\n", {plistPath()});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    };

    // As the menu's icon sizes or "pictomat defaults write" leave the file.
    writeElsewhere(
        "{'IconSize': 1024, 'UseItemsFolder': True, 'ImageQuality': 1, 'IncludeMakeIcons': False,"
        " 'BackgroundColorRedComponent': 0.0, 'BackgroundColorGreenComponent': 0.0,"
        " 'BackgroundColorBlueComponent': 1.0, 'BackgroundColorAlphaComponent': 1.0}");
    EXPECT_TRUE(QTest::qWaitFor([&] { return size->text() == "1024"; }, 5000)) << size->text().toStdString();
    EXPECT_EQ(control<QSlider>("iconSizeSlider")->value(), 1024);
    EXPECT_TRUE(control<QCheckBox>("UseItemsFolder")->isChecked());
    EXPECT_FALSE(control<QPushButton>("chooseImageFolderButton")->isEnabled());
    EXPECT_FALSE(control<QCheckBox>("IncludeMakeIcons")->isChecked());
    EXPECT_EQ(control<QComboBox>("imageQualityComboBox")->currentText(), "Low");
    EXPECT_EQ(control<QLineEdit>("hexValueEdit")->text(), "#0000FF");

    // A size half typed stays as typed, and is what gets stored.
    size->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return size->hasFocus(); }, 2000));
    size->selectAll();
    QTest::keyClicks(size, "77");
    writeElsewhere("{'IconSize': 64, 'UseItemsFolder': False}");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !control<QCheckBox>("UseItemsFolder")->isChecked(); }, 5000));
    EXPECT_EQ(size->text(), "77");
    QTest::keyClick(size, Qt::Key_Return);
    EXPECT_EQ(readWithPython().value("IconSize").toArray(), kInt(77));
}

TEST_F(PreferencesWindowTest, TheImageFolderLabelAndChooser)
{
    const QString gone = work() + "/gone";
    storeWithPython("{'ImageFolderPathname': '" + gone + "'}");
    open();
    EXPECT_EQ(control<PathLabel>("imageFolderLabel")->toolTip(), m_defaultFolder);
    EXPECT_EQ(readWithPython().value("ImageFolderPathname").toArray(), (QJsonArray{"str", gone}))
        << "the stored key is not rewritten";

    const QString kept = work() + "/kept folder";
    ASSERT_TRUE(QDir().mkpath(kept));
    storeWithPython("{'ImageFolderPathname': '" + kept + "'}");
    std::optional<QString> answer; // the user cancels first
    open([&answer](QWidget*) { return answer; });
    auto* path = control<PathLabel>("imageFolderLabel");
    EXPECT_EQ(path->toolTip(), kept);
    control<QPushButton>("chooseImageFolderButton")->click();
    EXPECT_EQ(path->toolTip(), kept);
    EXPECT_EQ(readWithPython().value("ImageFolderPathname").toArray(), (QJsonArray{"str", kept}));

    answer = work() + "/chosen";
    control<QPushButton>("chooseImageFolderButton")->click();
    EXPECT_EQ(path->toolTip(), *answer);
    EXPECT_EQ(readWithPython().value("ImageFolderPathname").toArray(), (QJsonArray{"str", *answer}));
}

TEST_F(PreferencesWindowTest, ALongImageFolderKeepsItsStartAndEndInViewAndShowsWhollyAsToolTip)
{
    const QString folder = work() + "/" + QString("a folder with a rather long name/").repeated(8) + "Icons";
    ASSERT_TRUE(QDir().mkpath(folder));
    storeWithPython("{'ImageFolderPathname': '" + folder + "'}");
    open();
    m_pref->window()->resize(640, 480);
    m_pref->showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_pref->window()));
    auto* label = control<PathLabel>("imageFolderLabel");
    const QString shown = label->text();
    EXPECT_EQ(label->toolTip(), folder);
    EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
    EXPECT_TRUE(shown.startsWith(folder.left(5))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("name/Icons")) << shown.toStdString();
    EXPECT_LE(label->fontMetrics().horizontalAdvance(shown), label->contentsRect().width());
}

TEST_F(PreferencesWindowTest, EachCheckBoxShowsAndStoresItsOwnKey)
{
    // Each box is named after its key.
    const QStringList keys = {"OpenImageFolderForMe",
                              "OpenImageFileForMe",
                              "AddCustomIcon",
                              "OverwriteFilesBySameName",
                              "ImageICNS",
                              "AppendIconSize",
                              "IncludeMakeIcons",
                              "IncludeCopyIcon",
                              "IncludeAddCustomIcon",
                              "IncludeRemoveCustomIcon",
                              "IncludeClipToIcon",
                              "IncludeWebIcon",
                              "IncludeChangeIconSizes",
                              "IncludeMakeWindowsIcon",
                              "IncludeMakeLinuxIconSet",
                              "IncludeMakeAppIcons",
                              "AppIconsMacOSShape"};
    const auto box = [this](const QString& key) { return control<QCheckBox>(key.toLatin1().constData()); };
    const auto byDefault = [](const QString& key) { return prefs::FindKey(key)->defaultValue.toBool(); };
    // Every key stored as the opposite of its default, except one stored as a
    // number, which is the wrong kind and shows the default.
    QString dict = "{";
    for (const QString& key : keys)
        dict += QString("'%1': %2, ").arg(key, byDefault(key) ? "False" : "True");
    storeWithPython(dict + "'IncludeWebIcon': 0}");
    open();
    for (const QString& key : keys)
        EXPECT_EQ(box(key)->isChecked(), key == "IncludeWebIcon" ? byDefault(key) : !byDefault(key))
            << key.toStdString();
    for (const QString& key : keys) {
        box(key)->click();
        EXPECT_EQ(readWithPython().value(key).toArray(), (QJsonArray{"bool", box(key)->isChecked()}))
            << key.toStdString();
    }
    // A key the menu does not read has no box to click in vain.
    EXPECT_EQ(m_pref->window()->findChild<QCheckBox*>("MakeAsSubmenu"), nullptr);
}

// Alt and a letter reaches every control the keyboard can reach, each by a
// letter of its own: its own label's, or that of the label that names it.
TEST_F(PreferencesWindowTest, EveryControlHasAnAccessKeyOfItsOwn)
{
    PictomatPref& pref = open();
    pref.showWindow();
    const auto accessKey = [](const QString& text) {
        const QKeySequence key = QKeySequence::mnemonic(text);
        return key.isEmpty() ? QString() : key.toString();
    };
    QMap<QString, QString> owners; // access key -> the control's object name
    int controls = 0;
    for (QWidget* widget : pref.window()->findChildren<QWidget*>()) {
        if (!(widget->focusPolicy() & Qt::TabFocus) || !widget->isVisibleTo(pref.window()))
            continue;
        ++controls;
        QStringList keys;
        if (auto* button = qobject_cast<QAbstractButton*>(widget); button && !accessKey(button->text()).isEmpty())
            keys << accessKey(button->text());
        for (QLabel* label : pref.window()->findChildren<QLabel*>())
            if (label->buddy() == widget && !accessKey(label->text()).isEmpty())
                keys << accessKey(label->text());
        EXPECT_EQ(keys.size(), 1) << widget->objectName().toStdString() << " " << widget->metaObject()->className();
        for (const QString& key : keys) {
            EXPECT_FALSE(owners.contains(key))
                << key.toStdString() << " is taken by " << owners.value(key).toStdString() << " and by "
                << widget->objectName().toStdString();
            owners.insert(key, widget->objectName());
        }
    }
    EXPECT_EQ(controls, 24);
}

TEST_F(PreferencesWindowTest, RunningTheWindowEndsWhenItIsClosed)
{
    bool closed = false;
    QTimer::singleShot(50, [&closed] {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->objectName() == "preferencesWindow" && window->isVisible())
                closed = window->close();
    });
    char name[] = "pictomat";
    char* argv[] = {name, nullptr};
    EXPECT_EQ(RunPreferencesWindow(1, argv, domain()), 0);
    EXPECT_TRUE(closed);
}

TEST_F(PreferencesWindowTest, Screenshot)
{
    storeWithPython(
        "{'BackgroundColorRedComponent': 0.2, 'BackgroundColorGreenComponent': 0.4,"
        " 'BackgroundColorBlueComponent': 0.8, 'BackgroundColorAlphaComponent': 1.0}");
    open();
    m_pref->window()->adjustSize();
    const QImage shot = m_pref->window()->grab().toImage();
    ASSERT_FALSE(shot.isNull());
    EXPECT_GT(shot.width(), 300);
    const QString artifacts = qEnvironmentVariable("PICTOMAT_ARTIFACTS");
    if (artifacts.isEmpty())
        SERVICE_MISSING() << "PICTOMAT_ARTIFACTS not set; screenshot not saved";
    QDir().mkpath(artifacts);
    EXPECT_TRUE(shot.save(artifacts + "/preferences-window.png", "PNG"));
}

} // namespace
