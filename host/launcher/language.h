#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

class QTranslator;

// What the program knows about one language. The eight members are also
// reachable by index (at(), zero-based) because callers address them that way:
// member 2 goes into the offline page address, member 3 into the engine's
// locale and Accept-Language.
struct LanguageDetail {
    QString id;           // 0: launcher id, e.g. "en_US"
    QString nativeName;   // 1: "English", "Deutsch"
    QString shortCode;    // 2: "en", "de", "fr"
    QString locale;       // 3: BCP 47 tag for the engine, "en-US"
    QString englishName;  // 4: "German"
    QString translation;  // 5: base name of the shipped translation, "tradory_de"
    QString direction;    // 6: "ltr" or "rtl"
    QString region;       // 7: "US", "DE"

    static constexpr int count = 8;
    QString at(int index) const;
};

// The program's current language. The launcher keeps the user's choice in
// the configuration file ([Language] current=<code>, code as "de", "de_DE" or
// "de-DE"); an unknown or missing code means English.
class Language
{
public:
    static Language *instance();

    // Reads the language and installs its translation. Once per process.
    void init();
    LanguageDetail getCurrentLD() const;
    // Reads the launcher's choice again and installs it; every widget gets a
    // QEvent::LanguageChange, also when the language stayed the same.
    void updateLanguageFromCache();

    static QVector<LanguageDetail> supportedLanguages();
    static LanguageDetail detailFor(const QString &code);
    // Folder of the compiled translations beside the executable.
    static QString translationsDir();
    // Qt's own catalogues (standard dialogs, the engine's context menu) that
    // are installed beside ours when the system has them.
    static QStringList qtCatalogues();
    int installedTranslatorCount() const { return m_translators.size(); }

private:
    Language() = default;
    QString readCachedCode() const;
    void install(const LanguageDetail &detail);
    void removeTranslators();
    bool installTranslator(const QString &name, const QString &folder);

    LanguageDetail m_current = detailFor(QString());
    QList<QTranslator *> m_translators;
};
