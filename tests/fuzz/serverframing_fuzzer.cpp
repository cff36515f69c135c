// libFuzzer target for how the local server turns a peer's bytes into a
// message: real writes on a real socket, read by the server's connection
// between event-loop turns, compared with what the bytes must amount to.
//
// Input: one byte for the size bound (0: the server's own), then records of
// one length byte and that many bytes, each record one write by the peer.
#include "localconnection.h"
#include "messageassembler.h"
#include "vserver.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QString>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <sys/socket.h>
#include <unistd.h>

namespace {

struct Input {
    int bound = VServer::maxMessageBytes;
    QList<QByteArray> writes;
    QByteArray all;
};

Input split(const uint8_t *data, size_t size)
{
    Input input;
    if (size == 0)
        return input;
    if (data[0] != 0)
        input.bound = data[0];
    for (size_t at = 1; at < size;) {
        const size_t length = qMin<size_t>(data[at], size - at - 1);
        const QByteArray chunk(reinterpret_cast<const char *>(data + at + 1), int(length));
        input.writes << chunk;
        input.all += chunk;
        at += 1 + length;
    }
    return input;
}

// Writes one record, letting the reader run whenever the socket is full.
bool writeAll(int fd, const QByteArray &chunk)
{
    for (int done = 0; done < chunk.size();) {
        const ssize_t wrote = ::send(fd, chunk.constData() + done, size_t(chunk.size() - done), MSG_NOSIGNAL);
        if (wrote > 0) {
            done += int(wrote);
        } else if (wrote < 0 && errno == EAGAIN) {
            QCoreApplication::processEvents();
        } else if (wrote < 0 && errno != EINTR) {
            // The server has hung up on us (message too large).
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const Input input = split(data, size);
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pair) != 0)
        return 0;
    // Long timers: only the peer's own writes and close decide here.
    LocalConnection connection(pair[0], {input.bound, 60000, 60000});
    int endings = 0;
    QObject::connect(&connection, &LocalConnection::ended, [&endings]() { ++endings; });

    MessageAssembler expected(input.bound);
    bool fits = true;
    for (const QByteArray &chunk : input.writes) {
        fits = expected.append(chunk.constData(), chunk.size()) && fits;
        if (!writeAll(pair[1], chunk))
            break;
        QCoreApplication::processEvents();
    }
    ::close(pair[1]);
    for (int turn = 0; turn < 100000 && endings == 0; ++turn)
        QCoreApplication::processEvents();

    // Ended exactly once, as the bytes say, whatever the reads' sizes were.
    if (endings != 1)
        __builtin_trap();
    const bool oversized = input.all.size() > input.bound;
    if (fits == oversized || expected.isOversized() != oversized)
        __builtin_trap();
    if (connection.end() != (oversized ? LocalConnection::End::Oversized : LocalConnection::End::Closed))
        __builtin_trap();
    const QString message = connection.message();
    if (message != expected.message() || message != (oversized ? QString() : QString::fromUtf8(input.all)))
        __builtin_trap();
    if (connection.bytesReceived() > input.bound)
        __builtin_trap();
    return 0;
}
