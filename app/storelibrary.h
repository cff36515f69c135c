#pragma once

#include "storeentry.h"

#include <QString>

// Loads the windows library from the executable's own folder, only when the
// process turns out to be the primary or an engine helper. The folder comes
// from the kernel's link to the running executable, never from the
// environment or the command line: either would let another program choose
// the code this one runs.
class StoreLibrary
{
public:
    StoreLibrary() = default;
    StoreLibrary(const StoreLibrary &) = delete;
    StoreLibrary &operator=(const StoreLibrary &) = delete;

    // False, with errorString() set, when the library is missing, cannot be
    // loaded, lacks an entry or was built for another executable.
    bool load();
    QString errorString() const { return m_error; }
    QString path() const { return m_path; }

    int runPrimary(const StoreEntry::PrimaryStart &start) const;
    int runEngineHelper(int argc, char **argv) const;

    // "<folder of the running executable>/lib/libtradorywindows.so".
    static QString libraryPath();

private:
    void *resolve(const char *symbol);

    // Never unloaded: the library's message handler and its Qt objects'
    // code must stay until the process ends.
    void *m_handle = nullptr;
    StoreEntry::RunPrimaryFunction m_runPrimary = nullptr;
    StoreEntry::RunEngineHelperFunction m_runEngineHelper = nullptr;
    QString m_path;
    QString m_error;
};
