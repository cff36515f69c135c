#pragma once

#include "appconfig.h"

#include <QHash>
#include <QPixmap>
#include <QString>
#include <QVariant>

// The launcher core service: configuration values and small image helpers.
//
// Configuration comes from an INI file: the path in $VELLORA_CONFIG, else
// "<user config folder>/VelloraX/launcher.ini". Values live in the section
// [AppConfig] under their key numbers ("35=VelloraXLauncher"). Keys without a
// value, a missing file or a file that cannot be parsed give the defaults.
//
// Keys 35, 37, 38 and 41 are names that the program turns into paths (socket,
// lock file, product folder). A value that could lead elsewhere, one holding a
// separator or naming "." or "..", is refused with a log line in favour of the
// default.
class VLauncher
{
public:
    static VLauncher *instance();

    QVariant getAppConfigValue(AppConfig key) const;

    // A copy of the pixmap with its corners rounded by radius (logical pixels).
    // A null pixmap stays null.
    QPixmap pixmapToRound(const QPixmap &pixmap, int radius) const;

    // "<app-data root>/<product folder>": the launcher's files, the engine
    // cache, the log and the request folder live below it.
    QString productDir() const;
    // Where the launcher puts request files: "<product dir>/LocalGames/".
    QString requestDir() const;

    // The product's public home page: the address of last resort.
    static QString publicHomePage();

    // The INI file this process reads.
    static QString configFilePath();
    static QVariant defaultValue(AppConfig key);
    // Why a value cannot stand for the key; empty when it can.
    static QString refusalReason(AppConfig key, const QString &value);

    // Reads the file again; the launcher may have rewritten it.
    void reload();

private:
    VLauncher();
    QHash<int, QVariant> m_values;
};
