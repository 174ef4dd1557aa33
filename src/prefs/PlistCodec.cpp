#include "prefs/PlistCodec.h"

#include "prefs/PreferenceStore.h"

#include <QLocale>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <cmath>

namespace pictomat::prefs::plist {

namespace {

using Opaque = PreferenceStore::OpaqueValue;

// The reader lets encoded surrogates through; written back, they would become
// other text, so the file counts as damaged and is kept as it is.
const QString kNotXmlText = QStringLiteral("text holds characters that XML does not allow");

class Parser {
public:
    explicit Parser(const QByteArray& bytes) : m_reader(bytes) { }

    ParseResult run()
    {
        ParseResult result;
        if (!nextElement()) {
            result.error = describe(QStringLiteral("no property list element"));
            return result;
        }
        // plistlib and plistutil both write <plist><dict>…; a bare <dict> is read too.
        const bool wrapped = m_reader.name() == QLatin1String("plist");
        if (wrapped && !nextElement()) {
            result.error = describe(QStringLiteral("the property list is empty"));
            return result;
        }
        if (m_reader.name() != QLatin1String("dict")) {
            result.error =
                describe(QStringLiteral("the top object is <%1>, not a dictionary").arg(m_reader.name().toString()));
            return result;
        }
        if (!readDict(result.values)) {
            result.error = describe(m_error);
            return result;
        }
        // Nothing but the closing </plist> and trailing whitespace or comments may follow.
        while (!m_reader.atEnd()) {
            m_reader.readNext();
            if (m_reader.isStartElement() || (m_reader.isCharacters() && !m_reader.isWhitespace())) {
                result.error = describe(QStringLiteral("unexpected content after the dictionary"));
                return result;
            }
        }
        if (m_reader.hasError()) {
            result.error = describe(m_reader.errorString());
            return result;
        }
        result.ok = true;
        return result;
    }

private:
    QString describe(const QString& what) const
    {
        const QString why = m_reader.hasError() ? m_reader.errorString() : what;
        return QStringLiteral("line %1: %2").arg(m_reader.lineNumber()).arg(why);
    }

    // Moves to the next start element, skipping whitespace, comments, the
    // DOCTYPE and processing instructions. False at an end tag, text or error.
    bool nextElement()
    {
        while (!m_reader.atEnd()) {
            switch (m_reader.readNext()) {
            case QXmlStreamReader::StartElement: return true;
            case QXmlStreamReader::Characters:
                if (!m_reader.isWhitespace())
                    return false;
                break;
            case QXmlStreamReader::EndElement:
            case QXmlStreamReader::EndDocument:
            case QXmlStreamReader::Invalid:
            case QXmlStreamReader::EntityReference: return false;
            default: break;
            }
        }
        return false;
    }

    bool fail(const QString& why)
    {
        m_error = why;
        return false;
    }

    bool readDict(QMap<QString, QVariant>& values)
    {
        for (;;) {
            if (!nextElement()) {
                if (m_reader.isEndElement() && m_reader.name() == QLatin1String("dict"))
                    return true;
                return fail(QStringLiteral("a dictionary is not closed"));
            }
            if (m_reader.name() != QLatin1String("key"))
                return fail(QStringLiteral("<%1> where a <key> belongs").arg(m_reader.name().toString()));
            const QString key = m_reader.readElementText();
            if (m_reader.hasError())
                return false;
            if (!IsStorableText(key))
                return fail(kNotXmlText);
            if (!nextElement())
                return fail(QStringLiteral("the key \"%1\" has no value").arg(key));
            QVariant value;
            if (!readValue(value))
                return false;
            values.insert(key, value);
        }
    }

    bool readValue(QVariant& value)
    {
        const QString kind = m_reader.name().toString();
        if (kind == QLatin1String("true") || kind == QLatin1String("false")) {
            const QString text = m_reader.readElementText();
            if (m_reader.hasError() || !text.trimmed().isEmpty())
                return fail(QStringLiteral("<%1> holds text").arg(kind));
            value = kind == QLatin1String("true");
            return true;
        }
        if (kind == QLatin1String("integer"))
            return readInteger(value);
        if (kind == QLatin1String("real")) {
            const QString text = m_reader.readElementText().trimmed();
            bool ok = false;
            const double d = text.toDouble(&ok);
            if (m_reader.hasError() || !ok)
                return fail(QStringLiteral("\"%1\" is not a real number").arg(text));
            value = d;
            return true;
        }
        if (kind == QLatin1String("string")) {
            value = m_reader.readElementText();
            if (!m_reader.hasError() && !IsStorableText(value.toString()))
                return fail(kNotXmlText);
            return !m_reader.hasError();
        }
        if (kind == QLatin1String("date") || kind == QLatin1String("data") || kind == QLatin1String("array")
            || kind == QLatin1String("dict") || kind == QLatin1String("uid"))
            return captureOpaque(kind, value);
        return fail(QStringLiteral("unknown value kind <%1>").arg(kind));
    }

    bool readInteger(QVariant& value)
    {
        const QString text = m_reader.readElementText().trimmed();
        if (m_reader.hasError())
            return false;
        static const QRegularExpression decimal(QStringLiteral("^[+-]?[0-9]+$"));
        static const QRegularExpression hex(QStringLiteral("^([+-]?)0[xX]([0-9a-fA-F]+)$"));
        bool ok = false;
        qint64 n = 0;
        if (decimal.match(text).hasMatch()) {
            n = text.toLongLong(&ok, 10);
        } else if (const auto m = hex.match(text); m.hasMatch()) {
            n = m.captured(2).toLongLong(&ok, 16);
            if (ok && m.captured(1) == QLatin1String("-"))
                n = -n;
        } else {
            return fail(QStringLiteral("\"%1\" is not an integer").arg(text));
        }
        if (ok) {
            value = n;
            return true;
        }
        // Wider than 64 bits (plistlib writes unsigned 64-bit values): no
        // reader of ours can use it, but a rewrite must not lose it.
        value = QVariant::fromValue(Opaque{"<integer>" + text.toUtf8() + "</integer>", QStringLiteral("integer")});
        return true;
    }

    // Copies the element and everything inside it as XML text.
    bool captureOpaque(const QString& kind, QVariant& value)
    {
        QString xml;
        QXmlStreamWriter writer(&xml);
        writer.writeCurrentToken(m_reader);
        int depth = 1;
        while (depth > 0) {
            if (m_reader.atEnd())
                return fail(QStringLiteral("<%1> is not closed").arg(kind));
            m_reader.readNext();
            if (m_reader.hasError())
                return false;
            if (m_reader.isStartElement())
                ++depth;
            else if (m_reader.isEndElement())
                --depth;
            writer.writeCurrentToken(m_reader);
        }
        if (!IsStorableText(xml))
            return fail(kNotXmlText);
        value = QVariant::fromValue(Opaque{xml.toUtf8(), kind});
        return true;
    }

    QXmlStreamReader m_reader;
    QString m_error;
};

} // namespace

void AppendEscaped(QByteArray& out, const QString& text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&': escaped += QLatin1String("&amp;"); break;
        case '<': escaped += QLatin1String("&lt;"); break;
        case '>': escaped += QLatin1String("&gt;"); break;
        // A raw carriage return would come back as a line feed.
        case '\r': escaped += QLatin1String("&#13;"); break;
        default: escaped += c; break;
        }
    }
    out += escaped.toUtf8();
}

QByteArray RealText(double d)
{
    if (std::isnan(d))
        return "nan";
    if (std::isinf(d))
        return d > 0 ? "inf" : "-inf";
    return QString::number(d, 'g', QLocale::FloatingPointShortest).toUtf8();
}

ParseResult Parse(const QByteArray& bytes)
{
    return IsBinary(bytes) ? ParseBinary(bytes) : ParseXml(bytes);
}

ParseResult ParseXml(const QByteArray& bytes)
{
    return Parser(bytes).run();
}

QByteArray Serialize(const QMap<QString, QVariant>& values)
{
    QByteArray out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
        "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
        "<plist version=\"1.0\">\n<dict>\n";
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        const QVariant& v = it.value();
        QByteArray element;
        switch (v.typeId()) {
        case QMetaType::Bool: element = v.toBool() ? "<true/>" : "<false/>"; break;
        case QMetaType::LongLong: element = "<integer>" + QByteArray::number(v.toLongLong()) + "</integer>"; break;
        case QMetaType::Double: element = "<real>" + RealText(v.toDouble()) + "</real>"; break;
        case QMetaType::QString:
            element = "<string>";
            AppendEscaped(element, v.toString());
            element += "</string>";
            break;
        default:
            if (v.metaType() == QMetaType::fromType<Opaque>())
                element = v.value<Opaque>().xml;
            break;
        }
        if (element.isEmpty())
            continue;
        out += "\t<key>";
        AppendEscaped(out, it.key());
        out += "</key>\n\t" + element + "\n";
    }
    out += "</dict>\n</plist>\n";
    return out;
}

bool IsStorableText(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
            return false;
        if (c == 0xFFFE || c == 0xFFFF)
            return false;
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 >= text.size() || !QChar::isLowSurrogate(text.at(i + 1).unicode()))
                return false;
            ++i;
        } else if (QChar::isLowSurrogate(c)) {
            return false;
        }
    }
    return true;
}

} // namespace pictomat::prefs::plist
