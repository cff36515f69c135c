#include "storelibrary.h"

#include <QFile>

#include <climits>
#include <dlfcn.h>
#include <unistd.h>

QString StoreLibrary::libraryPath()
{
    char executable[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", executable, sizeof executable - 1);
    if (length <= 0)
        return QString();
    executable[length] = '\0';
    const QString path = QFile::decodeName(executable);
    return path.left(path.lastIndexOf(QLatin1Char('/')) + 1) + QLatin1String(StoreEntry::libraryName);
}

void *StoreLibrary::resolve(const char *symbol)
{
    void *address = ::dlsym(m_handle, symbol);
    if (!address)
        m_error = QStringLiteral("%1 has no %2").arg(m_path, QLatin1String(symbol));
    return address;
}

bool StoreLibrary::load()
{
    if (m_handle)
        return true;
    m_path = libraryPath();
    if (m_path.isEmpty()) {
        m_error = QStringLiteral("cannot tell where the executable is");
        return false;
    }
    // RTLD_NOW: a missing symbol shows here, with the library's name, not
    // as a crash halfway through the start.
    void *handle = ::dlopen(QFile::encodeName(m_path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        m_error = QString::fromLocal8Bit(::dlerror());
        return false;
    }
    m_handle = handle;
    const auto version = reinterpret_cast<StoreEntry::VersionFunction>(resolve(StoreEntry::versionSymbol));
    m_runPrimary = reinterpret_cast<StoreEntry::RunPrimaryFunction>(resolve(StoreEntry::runPrimarySymbol));
    m_runEngineHelper = reinterpret_cast<StoreEntry::RunEngineHelperFunction>(resolve(StoreEntry::runEngineHelperSymbol));
    if (!version || !m_runPrimary || !m_runEngineHelper)
        return false;
    if (version() != StoreEntry::version) {
        m_error = QStringLiteral("%1 is version %2 of the entry, this executable needs %3")
                      .arg(m_path)
                      .arg(version())
                      .arg(StoreEntry::version);
        return false;
    }
    return true;
}

int StoreLibrary::runPrimary(const StoreEntry::PrimaryStart &start) const
{
    return m_runPrimary(start);
}

int StoreLibrary::runEngineHelper(int argc, char **argv) const
{
    return m_runEngineHelper(argc, argv);
}
