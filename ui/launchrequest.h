#pragma once

#include <QString>

// The strings of one launch request, as the launcher wrote them into its
// request file. Fields the file does not give stay empty.
struct LaunchRequest {
    QString oem;
    QString type;        // "-tradory=" store, "login"/"fromCloudLogin" sign-in, else a plain page
    QString url;
    QString gameName;
    QString iconPath;    // never in a request file: the window uses its default icon
    QString packageName; // one window per package
};
