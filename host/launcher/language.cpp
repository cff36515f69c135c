#include "language.h"

#include "inifile.h"
#include "vlauncher.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

QString LanguageDetail::at(int index) const
{
    switch (index) {
    case 0: return id;
    case 1: return nativeName;
    case 2: return shortCode;
    case 3: return locale;
    case 4: return englishName;
    case 5: return translation;
    case 6: return direction;
    case 7: return region;
    default: return QString();
    }
}

Language *Language::instance()
{
    static Language language;
    return &language;
}

QVector<LanguageDetail> Language::supportedLanguages()
{
    return {
        {QStringLiteral("en_US"), QStringLiteral("English"), QStringLiteral("en"), QStringLiteral("en-US"),
         QStringLiteral("English"), QStringLiteral("tradory_en"), QStringLiteral("ltr"), QStringLiteral("US")},
        {QStringLiteral("de_DE"), QStringLiteral("Deutsch"), QStringLiteral("de"), QStringLiteral("de-DE"),
         QStringLiteral("German"), QStringLiteral("tradory_de"), QStringLiteral("ltr"), QStringLiteral("DE")},
        {QStringLiteral("fr_FR"), QStringLiteral("Français"), QStringLiteral("fr"), QStringLiteral("fr-FR"),
         QStringLiteral("French"), QStringLiteral("tradory_fr"), QStringLiteral("ltr"), QStringLiteral("FR")},
    };
}

LanguageDetail Language::detailFor(const QString &code)
{
    const QVector<LanguageDetail> all = supportedLanguages();
    const QString shortCode = code.trimmed().left(2).toLower();
    for (const LanguageDetail &detail : all) {
        if (detail.shortCode == shortCode)
            return detail;
    }
    return all.first();
}

QString Language::translationsDir()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/translations");
}

QString Language::readCachedCode() const
{
    return IniFile::read(VLauncher::configFilePath()).value(QStringLiteral("Language/current"));
}

void Language::init()
{
    install(detailFor(readCachedCode()));
}

LanguageDetail Language::getCurrentLD() const
{
    return m_current;
}

QStringList Language::qtCatalogues()
{
    return {QStringLiteral("qtbase"), QStringLiteral("qtwebengine")};
}

void Language::updateLanguageFromCache()
{
    const LanguageDetail wanted = detailFor(readCachedCode());
    const bool hadTranslator = !m_translators.isEmpty();
    install(wanted);
    // Installing or removing a translator already sends LanguageChange; with
    // none on either side, say it ourselves so that windows still refresh.
    if (!hadTranslator && m_translators.isEmpty() && QCoreApplication::instance()) {
        QEvent event(QEvent::LanguageChange);
        QCoreApplication::sendEvent(QCoreApplication::instance(), &event);
    }
}

void Language::install(const LanguageDetail &detail)
{
    m_current = detail;
    QLocale::setDefault(QLocale(detail.id));
    removeTranslators();
    if (detail.shortCode == QLatin1String("en") || !QCoreApplication::instance())
        return;
    installTranslator(detail.translation, translationsDir());
    // Menus and dialogs that Qt and the engine make themselves (the page's
    // context menu among them) speak the same language as ours.
    const QString qtFolder = QLibraryInfo::location(QLibraryInfo::TranslationsPath);
    for (const QString &catalogue : qtCatalogues())
        installTranslator(catalogue + QLatin1Char('_') + detail.shortCode, qtFolder);
}

bool Language::installTranslator(const QString &name, const QString &folder)
{
    auto *translator = new QTranslator;
    if (!translator->load(name, folder)) {
        delete translator;
        return false;
    }
    m_translators.append(translator);
    QCoreApplication::installTranslator(translator);
    return true;
}

void Language::removeTranslators()
{
    for (QTranslator *translator : qAsConst(m_translators)) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
    m_translators.clear();
}
