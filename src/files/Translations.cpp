#include "files/Translations.h"

#include "files/Paths.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <memory>

namespace pictomat {

namespace {

// The catalogues live as long as the process: the application keeps only
// pointers to its translators, and a message may be asked for before the
// application object exists and after it is gone.
struct Catalogues {
    QTranslator program;
    QTranslator qt;
    bool programLoaded = false;
    bool qtLoaded = false;
};

Catalogues& catalogues()
{
    static Catalogues* loaded = [] {
        auto* c = new Catalogues;
        const QLocale locale = QLocale::system();
        // QTranslator walks the locale's UI languages in order and takes the
        // first catalogue it finds, so "LANGUAGE=fr:de" gives French where
        // both exist.
        c->programLoaded = c->program.load(locale, QStringLiteral("pictomat"), QStringLiteral("_"),
                                           DataDirectory() + QStringLiteral("/translations"));
        c->qtLoaded = c->qt.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                                 QLibraryInfo::path(QLibraryInfo::TranslationsPath));
        return c;
    }();
    return *loaded;
}

} // namespace

void InstallTranslations()
{
    if (!QCoreApplication::instance())
        return;
    Catalogues& c = catalogues();
    if (c.qtLoaded)
        QCoreApplication::installTranslator(&c.qt);
    if (c.programLoaded)
        QCoreApplication::installTranslator(&c.program);
}

QString Translated(const char* context, const char* text, const char* disambiguation, int n)
{
    if (QCoreApplication::instance())
        return QCoreApplication::translate(context, text, disambiguation, n);
    Catalogues& c = catalogues();
    QString translated;
    if (c.programLoaded)
        translated = c.program.translate(context, text, disambiguation, n);
    return translated.isEmpty() ? QString::fromUtf8(text) : translated;
}

} // namespace pictomat
