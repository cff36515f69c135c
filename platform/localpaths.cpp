#include "localpaths.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace LocalPaths {

namespace {

bool isPrivateFolderOfOurs(const QByteArray &path)
{
    struct stat st;
    if (lstat(path.constData(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

QString makePrivateTempFolder()
{
    // Qt answers an empty temp path when $TMPDIR names no existing folder;
    // that must not turn into a folder in the file-system root.
    const QString temp = QDir::tempPath();
    if (!temp.startsWith(QLatin1Char('/')))
        return QString();
    const QString path = temp + QStringLiteral("/vellora-%1").arg(geteuid());
    const QByteArray native = QFile::encodeName(path);
    if (mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return QString();
    // Someone else may have created the folder first to catch our sockets:
    // only a real folder owned by us, closed to others, is accepted.
    if (!isPrivateFolderOfOurs(native))
        return QString();
    return path;
}

bool isSafeChar(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
        || (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('-') || c == QLatin1Char('_')
        || c == QLatin1Char('.');
}

QString nameHash(const QString &name)
{
    return QString::fromLatin1(QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha256).toHex().left(16));
}

} // namespace

QString runtimeDir()
{
    const QByteArray xdg = qgetenv("XDG_RUNTIME_DIR");
    if (!xdg.isEmpty() && xdg.startsWith('/') && isPrivateFolderOfOurs(xdg))
        return QFile::decodeName(xdg);
    return makePrivateTempFolder();
}

QString safeFileName(const QString &name, int dirBytes, const QString &suffix)
{
    QString safe;
    safe.reserve(name.size());
    bool changed = name.isEmpty() || name.startsWith(QLatin1Char('.'));
    for (const QChar c : name) {
        if (isSafeChar(c)) {
            safe.append(c);
        } else {
            safe.append(QLatin1Char('_'));
            changed = true;
        }
    }
    // +1 for the separator between folder and name.
    const int room = maxSocketPathBytes - dirBytes - 1 - suffix.size();
    if (!changed && safe.size() <= room)
        return safe + suffix;

    // In a folder too deep for the full hash a shorter one still gives a
    // usable socket; below eight digits two names would meet too easily.
    const QString fullHash = nameHash(name);
    const QString hash = fullHash.left(qBound(8, room, int(fullHash.size())));
    const int keep = qMax(0, room - hash.size() - 1);
    QString shortened = safe.left(keep);
    if (shortened.startsWith(QLatin1Char('.')))
        shortened[0] = QLatin1Char('_');
    return (shortened.isEmpty() ? hash : shortened + QLatin1Char('-') + hash) + suffix;
}

QString socketPath(const QString &serverName)
{
    // A name that is a path elsewhere is made safe like any other: the
    // server removes whatever is at its path before listening there.
    const QString dir = runtimeDir();
    if (dir.isEmpty())
        return QString();
    return dir + QLatin1Char('/') + safeFileName(serverName, QFile::encodeName(dir).size());
}

QString lockFilePath(const QString &lockName)
{
    const QString dir = runtimeDir();
    if (dir.isEmpty())
        return QString();
    return dir + QLatin1Char('/') + safeFileName(lockName, QFile::encodeName(dir).size(), QStringLiteral(".lock"));
}

QString appDataRoot()
{
    const QByteArray local = qgetenv("LOCALAPPDATA");
    if (!local.isEmpty())
        return QFile::decodeName(local);
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

} // namespace LocalPaths
