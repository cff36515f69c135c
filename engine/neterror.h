#pragma once

#include <QString>

// Chromium's network error codes, by the names its error page shows.
namespace NetError {

constexpr int Failed = -2;             // ERR_FAILED
constexpr int Aborted = -3;            // ERR_ABORTED
constexpr int UnknownUrlScheme = -302; // ERR_UNKNOWN_URL_SCHEME
// Not Chromium's: the page's renderer process died.
constexpr int RendererGone = -1000;

// "ERR_CONNECTION_REFUSED" -> -102; an unknown name gives Failed.
int codeForName(const QString &name);

} // namespace NetError
