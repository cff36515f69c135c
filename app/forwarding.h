#pragma once

#include <QString>
#include <QStringList>

class InstanceLock;

// What a second instance does: it needs Qt Core and Network only, so the
// executable can do it without loading the windows and the engine.
namespace Startup {

// A second instance hands its launch argument to the primary. A primary that
// holds the lock but does not listen yet (still starting, on a busy machine)
// is waited for; a primary that ends before it listens frees the lock, and
// then this process takes the request on as the primary itself. A socket path
// that cannot become usable (no permission, not a socket) ends the wait at
// once, with one log line.
constexpr int forwardRetryMs = 20000;
// One try: connects are retried within it while the primary is not there yet,
// then the lock is looked at again.
constexpr int forwardTryMs = 250;
enum class Forwarding { Sent, NothingToSend, LockFreed, Failed };
Forwarding forwardToPrimary(const QStringList &arguments, InstanceLock &lock, const QString &lockName);

// The text a second instance forwards: its last argument, also as given.
// It names a file, like the primary's own: percent-decoding it on the way
// would make a second instance open another file than a primary given the
// same name, and could turn a plain name into a path ("b%2Fc.json").
QString forwardedArgument(const QStringList &arguments);

} // namespace Startup
