#include "neterror.h"

#include <QHash>

namespace NetError {

namespace {

const QHash<QString, int> &codes()
{
    static const QHash<QString, int> table = {
        {QStringLiteral("ERR_FAILED"), -2},
        {QStringLiteral("ERR_ABORTED"), -3},
        {QStringLiteral("ERR_INVALID_ARGUMENT"), -4},
        {QStringLiteral("ERR_FILE_NOT_FOUND"), -6},
        {QStringLiteral("ERR_TIMED_OUT"), -7},
        {QStringLiteral("ERR_ACCESS_DENIED"), -10},
        {QStringLiteral("ERR_BLOCKED_BY_CLIENT"), -20},
        {QStringLiteral("ERR_BLOCKED_BY_RESPONSE"), -27},
        {QStringLiteral("ERR_CONNECTION_CLOSED"), -100},
        {QStringLiteral("ERR_CONNECTION_RESET"), -101},
        {QStringLiteral("ERR_CONNECTION_REFUSED"), -102},
        {QStringLiteral("ERR_CONNECTION_ABORTED"), -103},
        {QStringLiteral("ERR_CONNECTION_FAILED"), -104},
        {QStringLiteral("ERR_NAME_NOT_RESOLVED"), -105},
        {QStringLiteral("ERR_INTERNET_DISCONNECTED"), -106},
        {QStringLiteral("ERR_SSL_PROTOCOL_ERROR"), -107},
        {QStringLiteral("ERR_ADDRESS_INVALID"), -108},
        {QStringLiteral("ERR_ADDRESS_UNREACHABLE"), -109},
        {QStringLiteral("ERR_CONNECTION_TIMED_OUT"), -118},
        {QStringLiteral("ERR_NAME_RESOLUTION_FAILED"), -137},
        {QStringLiteral("ERR_CERT_COMMON_NAME_INVALID"), -200},
        {QStringLiteral("ERR_CERT_DATE_INVALID"), -201},
        {QStringLiteral("ERR_CERT_AUTHORITY_INVALID"), -202},
        {QStringLiteral("ERR_INVALID_URL"), -300},
        {QStringLiteral("ERR_DISALLOWED_URL_SCHEME"), -301},
        {QStringLiteral("ERR_UNKNOWN_URL_SCHEME"), -302},
        {QStringLiteral("ERR_TOO_MANY_REDIRECTS"), -310},
        {QStringLiteral("ERR_UNSAFE_REDIRECT"), -311},
        {QStringLiteral("ERR_UNSAFE_PORT"), -312},
        {QStringLiteral("ERR_INVALID_RESPONSE"), -320},
        {QStringLiteral("ERR_EMPTY_RESPONSE"), -324},
        {QStringLiteral("ERR_RESPONSE_HEADERS_TRUNCATED"), -357},
    };
    return table;
}

} // namespace

int codeForName(const QString &name)
{
    QString bare = name.trimmed();
    if (bare.startsWith(QLatin1String("net::")))
        bare = bare.mid(5);
    return codes().value(bare, Failed);
}

} // namespace NetError
