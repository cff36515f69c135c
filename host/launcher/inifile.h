#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

// The launcher's INI file, read afresh every time. (QSettings keeps a parsed
// copy per file and trusts it while size and modification time look alike,
// which hides a rewrite made within one clock tick.)
//
// Lines are "[Section]", "key=value", blank, or comments starting with ';' or
// '#'. A value may be quoted ("a;b"); an unquoted one ends at a ';'. Keys
// before any section belong to "General".
class IniFile
{
public:
    // Values by "Section/key". A file that cannot be read, is not UTF-8,
    // holds a NUL byte or a line of another kind gives nothing, and ok false.
    static QHash<QString, QString> read(const QString &path, bool *ok = nullptr);
    static QHash<QString, QString> parse(const QByteArray &text, bool *ok = nullptr);

    // Files larger than this are not configuration files.
    static constexpr qint64 maxBytes = 1024 * 1024;
};
