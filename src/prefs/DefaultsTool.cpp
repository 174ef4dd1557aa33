#include "prefs/DefaultsTool.h"

#include "prefs/PreferenceStore.h"
#include "prefs/Preferences.h"

#include <QCoreApplication>
#include <QLocale>
#include <QMap>
#include <QRegularExpression>

#include <cmath>
#include <cstdio>

namespace pictomat::prefs {

namespace {

void writeTo(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

int fail(int status, const QString& message)
{
    writeTo(stderr, QStringLiteral("pictomat defaults: ") + message + QLatin1Char('\n'));
    return status;
}

int usage()
{
    // The forms are typed as they are; only the word before them is said in
    // the user's language, the forms kept under each other.
    const QString word = QCoreApplication::translate("Help", "usage:");
    const QString indent(word.size() + 1, QLatin1Char(' '));
    return fail(2, word + QStringLiteral(" pictomat defaults read [KEY]\n") + indent
                       + QStringLiteral("pictomat defaults write KEY -bool|-int|-float|-string VALUE\n") + indent
                       + QStringLiteral("pictomat defaults delete KEY"));
}

// That `key` takes values of another kind than the one given.
QString holdsOtherKind(const QString& key, Kind kind)
{
    switch (kind) {
    case Kind::Boolean: return QCoreApplication::translate("Defaults", "%1 holds a boolean (-bool)").arg(key);
    case Kind::Integer: return QCoreApplication::translate("Defaults", "%1 holds an integer (-int)").arg(key);
    case Kind::Real: return QCoreApplication::translate("Defaults", "%1 holds a real number (-float)").arg(key);
    case Kind::String: return QCoreApplication::translate("Defaults", "%1 holds a string (-string)").arg(key);
    }
    return {};
}

QString noSuchKey(const QString& key)
{
    return QCoreApplication::translate("Defaults", "the key \"%1\" does not exist in %2")
        .arg(key, QLatin1String(kDomain));
}

QString valueText(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Bool: return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QMetaType::LongLong: return QString::number(v.toLongLong());
    case QMetaType::Double: return QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
    case QMetaType::QString: return v.toString();
    default:
        if (v.metaType() == QMetaType::fromType<PreferenceStore::OpaqueValue>())
            return QString::fromUtf8(v.value<PreferenceStore::OpaqueValue>().xml);
        return {};
    }
}

// One line per key in the listing, whatever the value holds.
QString oneLine(const QVariant& v)
{
    QString text = valueText(v);
    if (v.typeId() == QMetaType::QString)
        return text.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
            .replace(QLatin1Char('\n'), QLatin1String("\\n"))
            .replace(QLatin1Char('\r'), QLatin1String("\\r"));
    return text.simplified();
}

// The value a "write" names, or nothing when the flag is unknown or the text
// does not parse as that kind.
std::optional<std::pair<Kind, QVariant>> parseValue(const QString& flag, const QString& text, QString* why)
{
    if (flag == QLatin1String("-bool")) {
        const QString t = text.toLower();
        if (t == QLatin1String("true") || t == QLatin1String("yes") || t == QLatin1String("1"))
            return std::pair{Kind::Boolean, QVariant(true)};
        if (t == QLatin1String("false") || t == QLatin1String("no") || t == QLatin1String("0"))
            return std::pair{Kind::Boolean, QVariant(false)};
        *why = QCoreApplication::translate("Defaults", "\"%1\" is not a boolean (use true, false, yes, no, 1 or 0)")
                   .arg(text);
        return std::nullopt;
    }
    if (flag == QLatin1String("-int")) {
        static const QRegularExpression decimal(QStringLiteral("^[+-]?[0-9]+$"));
        bool ok = false;
        const qint64 n = decimal.match(text).hasMatch() ? text.toLongLong(&ok, 10) : 0;
        if (!ok) {
            *why = QCoreApplication::translate("Defaults", "\"%1\" is not an integer").arg(text);
            return std::nullopt;
        }
        return std::pair{Kind::Integer, QVariant(n)};
    }
    if (flag == QLatin1String("-float")) {
        bool ok = false;
        const double d = text.trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(d)) {
            *why = QCoreApplication::translate("Defaults", "\"%1\" is not a finite number").arg(text);
            return std::nullopt;
        }
        return std::pair{Kind::Real, QVariant(d)};
    }
    if (flag == QLatin1String("-string"))
        return std::pair{Kind::String, QVariant(text)};
    *why = QCoreApplication::translate("Defaults", "unknown type flag \"%1\" (use -bool, -int, -float or -string)")
               .arg(flag);
    return std::nullopt;
}

int readDomain(PreferenceStore& store, const QStringList& args)
{
    if (args.size() > 1)
        return usage();
    store.synchronize();
    // A domain that could not be read is not an empty one.
    if (!store.readError().isEmpty())
        return fail(1, store.readError());
    if (args.isEmpty()) {
        // Every value in force: those set, and the defaults of the keys that
        // are not, marked as such (a fresh domain is not an empty one).
        QMap<QString, QString> lines;
        for (const QString& key : store.keys())
            lines.insert(key, oneLine(store.copyValue(key)));
        for (const KeyInfo& info : AllKeys()) {
            const QString key = QLatin1String(info.name);
            if (info.defaultValue.isValid() && !lines.contains(key))
                lines.insert(key, oneLine(info.defaultValue) + QStringLiteral(" (default)"));
        }
        QString listing;
        for (auto it = lines.constBegin(); it != lines.constEnd(); ++it)
            listing += it.key() + QStringLiteral(" = ") + it.value() + QLatin1Char('\n');
        writeTo(stdout, listing);
        return 0;
    }
    const QVariant v = store.copyValue(args.first());
    if (!v.isValid())
        return fail(1, noSuchKey(args.first()));
    writeTo(stdout, valueText(v) + QLatin1Char('\n'));
    return 0;
}

int writeKey(PreferenceStore& store, const QStringList& args)
{
    if (args.size() != 3)
        return usage();
    const QString& key = args.at(0);
    QString why;
    const auto parsed = parseValue(args.at(1), args.at(2), &why);
    if (!parsed)
        return fail(2, why);
    // The declared keys hold one kind each; a value of another kind would
    // only be read back as the default. "alpha" and keys of others take any.
    if (const KeyInfo* info = FindKey(key); info && info->kind != parsed->first)
        return fail(2, holdsOtherKind(key, info->kind));
    store.synchronize();
    if (!store.setValue(key, parsed->second))
        return fail(2, store.lastError());
    if (!store.synchronize())
        return fail(1, store.lastError());
    if (!store.keptCopy().isEmpty())
        writeTo(stderr, QStringLiteral("pictomat defaults: ")
                            + QCoreApplication::translate("Defaults", "the preferences file it replaced was kept as %1")
                                  .arg(store.keptCopy())
                            + QLatin1Char('\n'));
    return 0;
}

int deleteKey(PreferenceStore& store, const QStringList& args)
{
    if (args.size() != 1)
        return usage();
    store.synchronize();
    if (!store.readError().isEmpty())
        return fail(1, store.readError());
    if (!store.copyValue(args.first()).isValid())
        return fail(1, noSuchKey(args.first()));
    store.removeValue(args.first());
    if (!store.synchronize())
        return fail(1, store.lastError());
    return 0;
}

} // namespace

int RunDefaultsTool(PreferenceStore& store, const QStringList& arguments)
{
    const QString verb = arguments.value(0);
    const QStringList rest = arguments.mid(1);
    if (verb == QLatin1String("read"))
        return readDomain(store, rest);
    if (verb == QLatin1String("write"))
        return writeKey(store, rest);
    if (verb == QLatin1String("delete"))
        return deleteKey(store, rest);
    return usage();
}

} // namespace pictomat::prefs
