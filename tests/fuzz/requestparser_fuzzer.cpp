// libFuzzer target for what the program does with text it does not control:
// request file contents and request names.
#include "requestfile.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const LaunchRequest request = RequestFile::parseRequestJson(bytes);
    // Whatever came out must be usable as text.
    volatile int total = request.oem.size() + request.packageName.size() + request.type.size() + request.url.size()
        + request.gameName.size();
    (void)total;
    const QString name = QString::fromUtf8(bytes);
    const QString reason = RequestFile::refusalReason(name);
    // A name that passes can never lead out of the request folder, nor read
    // as an option.
    if (reason.isEmpty() && (name.contains(QLatin1Char('/')) || name.contains(QLatin1String(".."))
                             || name.contains(QChar(0)) || name.startsWith(QLatin1Char('-'))))
        __builtin_trap();
    return 0;
}
