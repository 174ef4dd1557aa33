#include "platform/IconTheme.h"

#include "files/GObjectPtr.h"
#include "files/Paths.h"

#include <QDir>
#include <QFile>
#include <QXmlStreamReader>

#include <gio/gio.h>
#include <xcb/xcb.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <optional>

namespace pictomat {

namespace {

struct SchemaUnref {
    void operator()(GSettingsSchema* s) const { g_settings_schema_unref(s); }
};
struct VariantUnref {
    void operator()(GVariant* v) const { g_variant_unref(v); }
};

// A GSettings key's choice: the value the user set, and the schema's
// default separately, since a default alone says nothing about what a user
// of another desktop picked.
struct SettingsValue {
    QString userValue;
    QString defaultValue;
};

GSettings* settingsFor(const char* schemaId)
{
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (!source)
        return nullptr;
    std::unique_ptr<GSettingsSchema, SchemaUnref> schema(g_settings_schema_source_lookup(source, schemaId, TRUE));
    if (!schema || !g_settings_schema_has_key(schema.get(), "icon-theme"))
        return nullptr;
    return g_settings_new_full(schema.get(), nullptr, nullptr);
}

SettingsValue iconThemeSetting(GSettings* settings)
{
    SettingsValue result;
    if (!settings)
        return result;
    std::unique_ptr<GVariant, VariantUnref> user(g_settings_get_user_value(settings, "icon-theme"));
    if (user && g_variant_is_of_type(user.get(), G_VARIANT_TYPE_STRING))
        result.userValue = QString::fromUtf8(g_variant_get_string(user.get(), nullptr));
    std::unique_ptr<GVariant, VariantUnref> current(g_settings_get_value(settings, "icon-theme"));
    if (current && g_variant_is_of_type(current.get(), G_VARIANT_TYPE_STRING))
        result.defaultValue = QString::fromUtf8(g_variant_get_string(current.get(), nullptr));
    return result;
}

QString iniValue(const QString& path, const QString& group, const QString& key)
{
    const std::optional<IniGroups> ini = ReadIniFile(path);
    if (!ini)
        return {};
    return ini->value(group).value(key).trimmed();
}

// The first value of a key in a configuration file, the user's before the
// system's ($XDG_CONFIG_DIRS, then the extra folders given).
QString configValue(const QString& relativePath, const QString& group, const QString& key,
                    const QStringList& extraFolders = {})
{
    QStringList folders{XdgConfigHome()};
    QString dirs = qEnvironmentVariable("XDG_CONFIG_DIRS");
    if (dirs.isEmpty())
        dirs = QStringLiteral("/etc/xdg");
    folders += dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    folders += extraFolders;
    for (const QString& folder : folders) {
        const QString value = iniValue(folder + QLatin1Char('/') + relativePath, group, key);
        if (!value.isEmpty())
            return value;
    }
    return {};
}

QString kdeIconTheme()
{
    return configValue(QStringLiteral("kdeglobals"), QStringLiteral("Icons"), QStringLiteral("Theme"));
}

QString lxqtIconTheme()
{
    return configValue(QStringLiteral("lxqt/lxqt.conf"), QStringLiteral("General"), QStringLiteral("icon_theme"),
                       {QStringLiteral("/usr/share/lxqt")});
}

QString gtkIconTheme()
{
    for (const char* version : {"gtk-4.0", "gtk-3.0"}) {
        const QString name = iniValue(XdgConfigHome() + '/' + QLatin1String(version) + QStringLiteral("/settings.ini"),
                                      QStringLiteral("Settings"), QStringLiteral("gtk-icon-theme-name"));
        if (!name.isEmpty())
            return name;
    }
    return {};
}

// XFCE's own store of what its settings manager publishes.
QString xfconfIconTheme()
{
    QStringList folders{XdgConfigHome()};
    folders += qEnvironmentVariable("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg")).split(':', Qt::SkipEmptyParts);
    for (const QString& folder : folders) {
        QFile file(folder + QStringLiteral("/xfce4/xfconf/xfce-perchannel-xml/xsettings.xml"));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        QXmlStreamReader xml(&file);
        QStringList path;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == QLatin1String("property")) {
                path.append(xml.attributes().value(QLatin1String("name")).toString());
                if (path.join('/') == QLatin1String("Net/IconThemeName"))
                    return xml.attributes().value(QLatin1String("value")).toString();
            } else if (xml.isEndElement() && xml.name() == QLatin1String("property") && !path.isEmpty()) {
                path.removeLast();
            }
        }
    }
    return {};
}

bool desktopIs(const char* name)
{
    const QStringList desktops = qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(':', Qt::SkipEmptyParts);
    return desktops.contains(QLatin1String(name), Qt::CaseInsensitive);
}

// Whether a program of this user runs now, by its process name.
bool running(const QByteArray& processName)
{
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (!pid.front().isDigit())
            continue;
        struct stat st;
        if (::stat(QFile::encodeName(QStringLiteral("/proc/") + pid).constData(), &st) != 0 || st.st_uid != ::getuid())
            continue;
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == processName)
            return true;
    }
    return false;
}

} // namespace

QString XSettingsIconTheme()
{
    int screen = 0;
    const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> c(xcb_connect(nullptr, &screen),
                                                                         &xcb_disconnect);
    if (!c || xcb_connection_has_error(c.get()))
        return {};
    const auto atom = [&](const QByteArray& name) -> xcb_atom_t {
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(c.get(), xcb_intern_atom(c.get(), 0, uint16_t(name.size()), name.constData()),
                                  nullptr),
            &std::free);
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    };
    const xcb_atom_t selection = atom("_XSETTINGS_S" + QByteArray::number(screen));
    const xcb_atom_t settings = atom("_XSETTINGS_SETTINGS");
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(c.get(), xcb_get_selection_owner(c.get(), selection), nullptr), &std::free);
    if (!owner || owner->owner == XCB_NONE)
        return {};
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> property(
        xcb_get_property_reply(c.get(), xcb_get_property(c.get(), 0, owner->owner, settings, settings, 0, 1 << 20),
                               nullptr),
        &std::free);
    if (!property)
        return {};
    const QByteArray data(static_cast<const char*>(xcb_get_property_value(property.get())),
                          xcb_get_property_value_length(property.get()));
    // The settings as the XSETTINGS protocol lays them out: byte order, a
    // serial, a count, then each setting (type, name, serial, value), every
    // part padded to four bytes.
    if (data.size() < 12)
        return {};
    const bool bigEndian = data.at(0) == 1;
    const auto card = [&](qsizetype at, int bytes) -> quint32 {
        quint32 v = 0;
        for (int i = 0; i < bytes; ++i) {
            const quint32 b = quint8(data.at(at + i));
            v |= bigEndian ? b << (8 * (bytes - 1 - i)) : b << (8 * i);
        }
        return v;
    };
    const auto padded = [](qsizetype n) { return (n + 3) & ~qsizetype(3); };
    const quint32 count = card(8, 4);
    qsizetype at = 12;
    for (quint32 i = 0; i < count && at + 8 <= data.size(); ++i) {
        const int type = quint8(data.at(at));
        const qsizetype nameLength = card(at + 2, 2);
        if (at + 4 + padded(nameLength) + 4 > data.size())
            return {};
        const QByteArray name = data.mid(at + 4, nameLength);
        at += 4 + padded(nameLength) + 4;
        if (type == 0) { // integer
            at += 4;
        } else if (type == 1) { // string
            if (at + 4 > data.size())
                return {};
            const qsizetype length = card(at, 4);
            if (at + 4 + length > data.size())
                return {};
            if (name == "Net/IconThemeName")
                return QString::fromUtf8(data.mid(at + 4, length));
            at += 4 + padded(length);
        } else if (type == 2) { // colour
            at += 8;
        } else {
            return {};
        }
    }
    return {};
}

// Each made at its first use, which some desktops never come to.
struct DesktopIconTheme::Settings {
    std::optional<GObjectPtr<GSettings>> gnome;
    std::optional<GObjectPtr<GSettings>> mate;

    static SettingsValue iconTheme(std::optional<GObjectPtr<GSettings>>& held, const char* schemaId)
    {
        if (!held)
            held.emplace(settingsFor(schemaId));
        return iconThemeSetting(held->get());
    }
};

DesktopIconTheme::DesktopIconTheme() : m_settings(std::make_unique<Settings>()) { }
DesktopIconTheme::~DesktopIconTheme() = default;

QString DesktopIconTheme::detect() const
{
    // KDE and its programs keep their choice in kdeglobals and default to
    // Breeze: Dolphin shows Breeze wherever it runs.
    if (desktopIs("KDE") || (qEnvironmentVariableIsEmpty("XDG_CURRENT_DESKTOP") && running("dolphin"))) {
        const QString kde = kdeIconTheme();
        return kde.isEmpty() ? QStringLiteral("breeze") : kde;
    }
    if (desktopIs("LXQt")) {
        if (const QString lxqt = lxqtIconTheme(); !lxqt.isEmpty())
            return lxqt;
    }
    const SettingsValue gnome = Settings::iconTheme(m_settings->gnome, "org.gnome.desktop.interface");
    if (desktopIs("GNOME"))
        return !gnome.userValue.isEmpty()      ? gnome.userValue
               : !gnome.defaultValue.isEmpty() ? gnome.defaultValue
                                               : QStringLiteral("Adwaita");
    // XFCE's and MATE's settings managers publish the theme their programs
    // show over XSettings; without one running, their own stores say it.
    if (const QString published = XSettingsIconTheme(); !published.isEmpty())
        return published;
    if (desktopIs("MATE")) {
        const SettingsValue mate = Settings::iconTheme(m_settings->mate, "org.mate.interface");
        if (!mate.userValue.isEmpty() || !mate.defaultValue.isEmpty())
            return !mate.userValue.isEmpty() ? mate.userValue : mate.defaultValue;
    }
    if (desktopIs("XFCE")) {
        if (const QString xfce = xfconfIconTheme(); !xfce.isEmpty())
            return xfce;
    }
    if (!gnome.userValue.isEmpty())
        return gnome.userValue;
    const QString gtk = gtkIconTheme();
    if (!gtk.isEmpty())
        return gtk;
    const QString kde = kdeIconTheme();
    if (!kde.isEmpty())
        return kde;
    if (!gnome.defaultValue.isEmpty())
        return gnome.defaultValue;
    return QStringLiteral("Adwaita");
}

} // namespace pictomat
