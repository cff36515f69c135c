#pragma once

#include <QFile>
#include <QString>

// Opens files that others can put something else in place of. open() on a
// FIFO waits for its other end, so it would hang the thread that asked, and
// a link would send our writes to wherever it points: these functions never
// wait, never follow a link in the last part of the path, and accept regular
// files only (the type is checked on the open handle, not on the path, so
// nothing can be swapped in between).
namespace RegularFile {

// Read-only and unbuffered; false when the path is missing or no regular file.
bool openForReading(QFile &file, const QString &path, QString *error = nullptr);

// Write-only, appending, created when missing (0666 less the umask); truncate
// empties an existing file first.
bool openForAppending(QFile &file, const QString &path, bool truncate = false, QString *error = nullptr);

} // namespace RegularFile
