#pragma once

#include <QString>

// Sends one message to the launcher's server (configuration key 35) without
// waiting for it: messages leave in the order given, from a worker thread.
void sendLauncherNotice(const QString &text);
