#include "enginesubprocess.h"

#include <QByteArray>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

bool engineParentNamed()
{
    const char *parent = std::getenv(engineParentVariable);
    return parent && *parent;
}

} // namespace

bool startedByEngineParent()
{
    if (!engineParentNamed())
        return false;
    const char *parent = std::getenv(engineParentVariable);
    char *end = nullptr;
    errno = 0;
    const long long pid = std::strtoll(parent, &end, 10);
    return errno == 0 && *end == '\0' && pid > 1 && pid == ::getppid();
}

bool isEngineSubProcess(int argc, char **argv)
{
    bool typeSwitch = false;
    for (int i = 1; i < argc && !typeSwitch; ++i)
        typeSwitch = std::strncmp(argv[i], "--type=", 7) == 0;
    // Not the parent's pid: a helper whose browser was killed before it got
    // here has been handed to init, and must not go on as a program of its
    // own (it would take the free instance lock and keep it).
    return typeSwitch && engineParentNamed();
}

void markEngineParent()
{
    qputenv(engineParentVariable, QByteArray::number(qint64(::getpid())));
}
