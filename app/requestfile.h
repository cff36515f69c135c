#pragma once

#include "launchrequest.h"

#include <QString>

#include <functional>

// Reading and consuming the launcher's request files.
//
// A launch argument names a file in the request folder. Because the program
// deletes what it reads, and any local process can send it a name, a name
// that could lead anywhere else is refused before any file access: path
// separators, "..", control characters (NUL included), text that was not
// valid UTF-8, and names longer than a file name can be. So is a name that
// starts with "-": on a command line it would read as an option. Only a
// regular file is read (never through a symbolic link, never a FIFO or a
// folder); the file that was read, and no other, is deleted, so that every
// file serves one request.
namespace RequestFile {

enum class Outcome {
    Defaults,  // empty argument: the default page, no file touched
    Read,      // a request file was read (and deleted)
    Unusable,  // missing, not a regular file, too large or not JSON: empty fields
    Refused    // a name that is not a plain file name: nothing done at all
};

// Larger request files are not read (they are still consumed).
constexpr qint64 maxFileBytes = 64 * 1024;
constexpr int maxNameBytes = 255;

QString requestFolder();
// Why a name is refused, or an empty text for a plain file name.
QString refusalReason(const QString &name);

// Fills request from the file named by argument; see Outcome.
Outcome parseLaunchRequest(const QString &argument, LaunchRequest &request);

// Runs between reading a request file and removing it, with its name: lets
// a test change the folder in that moment. Empty by default.
using BeforeRemoveHook = std::function<void(const QString &name)>;
void setBeforeRemoveHook(BeforeRemoveHook hook);

// The fields of a request file's text; malformed text gives empty fields.
LaunchRequest parseRequestJson(const QByteArray &json);

} // namespace RequestFile
