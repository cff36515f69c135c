#pragma once

#include <QString>

// Where per-user files of the program live on this system. The program and the
// launcher tool both go through these functions, so a server name always maps
// to the same socket path on both sides.
namespace LocalPaths {

// The private per-user runtime folder: $XDG_RUNTIME_DIR when it is a folder of
// ours, else "<temp>/vellora-<uid>", created with mode 0700. Empty when no
// folder that only this user can write is available.
QString runtimeDir();

// The local socket path for a configured server name, always inside the
// runtime folder. Names are made safe for a file name; a name
// that had to be changed, or that would not fit into a socket address (107
// bytes plus the terminator), is shortened deterministically with a hash of
// the full name so that two different names never share a path.
QString socketPath(const QString &serverName);

// Same mapping for the single-instance lock file.
QString lockFilePath(const QString &lockName);

// The local application-data root: $LOCALAPPDATA when set, else the XDG data
// home ($XDG_DATA_HOME or ~/.local/share).
QString appDataRoot();

// Largest socket path the system accepts, in bytes, without the terminator.
constexpr int maxSocketPathBytes = 107;

// The file-name part used for a configured name inside a folder whose path is
// dirBytes long. Exposed for tests.
QString safeFileName(const QString &name, int dirBytes, const QString &suffix = QString());

} // namespace LocalPaths
