#include "requestfile.h"

#include "vlauncher.h"

#include <QDebug>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace RequestFile {

QString requestFolder()
{
    return VLauncher::instance()->requestDir();
}

QString refusalReason(const QString &name)
{
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return QStringLiteral("path separator");
    if (name.contains(QLatin1String("..")))
        return QStringLiteral("\"..\"");
    if (name == QLatin1String("."))
        return QStringLiteral("\".\"");
    if (name.startsWith(QLatin1Char('-')))
        return QStringLiteral("starts with \"-\"");
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return QStringLiteral("control character");
        if (c == QChar::ReplacementCharacter)
            return QStringLiteral("not UTF-8");
    }
    if (name.toUtf8().size() > maxNameBytes)
        return QStringLiteral("name too long");
    return QString();
}

LaunchRequest parseRequestJson(const QByteArray &json)
{
    LaunchRequest request;
    QJsonParseError error;
    // Editors on other systems like to start UTF-8 files with a byte order mark.
    const QByteArray bom("\xEF\xBB\xBF");
    const QJsonDocument document = QJsonDocument::fromJson(json.startsWith(bom) ? json.mid(bom.size()) : json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return request;
    const QJsonObject object = document.object();
    request.oem = object.value(QStringLiteral("oem")).toString();
    request.packageName = object.value(QStringLiteral("package_name")).toString();
    request.type = object.value(QStringLiteral("type")).toString();
    request.url = object.value(QStringLiteral("cloud_app_url")).toString();
    request.gameName = object.value(QStringLiteral("game_name")).toString();
    return request;
}

namespace {

BeforeRemoveHook &beforeRemoveHook()
{
    static BeforeRemoveHook hook;
    return hook;
}

// The request folder, opened once. Every later step is relative to this
// handle, so a folder (or a parent of it) swapped for a link while a request
// is being read leads nowhere else. The folder itself may be a link.
int openRequestFolder()
{
    return ::open(QFile::encodeName(requestFolder()).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

// Opens name in the folder only if it is a regular file reached without a
// symbolic link; a FIFO must not block the program either.
int openRegularFile(int folder, const QByteArray &name, struct stat *info)
{
    const int fd = ::openat(folder, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    if (::fstat(fd, info) != 0 || !S_ISREG(info->st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    return fd;
}

QByteArray readAtMost(int fd, qint64 limit)
{
    QByteArray bytes;
    char buffer[8192];
    while (bytes.size() <= limit) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        bytes.append(buffer, int(got));
    }
    return bytes;
}

// A request file serves one request, but only the file that was read is
// removed: another one put under its name meanwhile stays.
void removeIfStillTheOneRead(int folder, const QByteArray &name, const struct stat &read, const QString &argument)
{
    struct stat now;
    if (::fstatat(folder, name.constData(), &now, AT_SYMLINK_NOFOLLOW) != 0) {
        qWarning() << "[Tradory] request file could not be removed:" << argument << strerror(errno);
        return;
    }
    if (now.st_dev != read.st_dev || now.st_ino != read.st_ino) {
        qWarning() << "[Tradory] request file was replaced after it was read, left in place:" << argument;
        return;
    }
    if (::unlinkat(folder, name.constData(), 0) != 0)
        qWarning() << "[Tradory] request file could not be removed:" << argument << strerror(errno);
}

} // namespace

void setBeforeRemoveHook(BeforeRemoveHook hook)
{
    beforeRemoveHook() = std::move(hook);
}

Outcome parseLaunchRequest(const QString &argument, LaunchRequest &request)
{
    if (argument.isEmpty()) {
        request.url = VLauncher::instance()->getAppConfigValue(AppConfig::DefaultPageUrl).toString();
        return Outcome::Defaults;
    }
    const QString reason = refusalReason(argument);
    if (!reason.isEmpty()) {
        qWarning() << "[Tradory] request name refused (" + reason + "):" << argument;
        return Outcome::Refused;
    }

    const int folder = openRequestFolder();
    if (folder < 0) {
        qInfo() << "[Tradory] request file not readable:" << argument << strerror(errno);
        return Outcome::Unusable;
    }
    const QByteArray name = QFile::encodeName(argument);
    struct stat info;
    const int fd = openRegularFile(folder, name, &info);
    if (fd < 0) {
        // Left where it is: a file we may not read is not ours to remove.
        qInfo() << "[Tradory] request file not readable:" << argument << strerror(errno);
        ::close(folder);
        return Outcome::Unusable;
    }
    Outcome outcome = Outcome::Unusable;
    if (info.st_size <= maxFileBytes) {
        const QByteArray json = readAtMost(fd, maxFileBytes);
        if (json.size() <= maxFileBytes) {
            request = parseRequestJson(json);
            outcome = Outcome::Read;
        }
    }
    if (outcome != Outcome::Read)
        qWarning() << "[Tradory] request file larger than" << maxFileBytes << "bytes ignored:" << argument;
    if (beforeRemoveHook())
        beforeRemoveHook()(argument);
    removeIfStillTheOneRead(folder, name, info, argument);
    // Closed only now: while it is open, no other file can get its inode.
    ::close(fd);
    ::close(folder);
    return outcome;
}

} // namespace RequestFile
