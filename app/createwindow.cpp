#include "createwindow.h"

#include <QDebug>

void createWindow(const QString &argument)
{
    qInfo() << "[Tradory] Tradory window create start" << argument;
}
