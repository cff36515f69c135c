#pragma once

#include <QString>

// Opens the window for one launch request (the name of a request file in the
// request folder, or empty for the default page), or brings the window
// already open for the same package to the front.
void createWindow(const QString &argument);
