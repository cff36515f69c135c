#include "virtualpointer.h"

#include "testenvironment.h"

#include <QtTest>

VirtualPointer::~VirtualPointer()
{
    stop();
}

QString VirtualPointer::toolPath()
{
    return TestEnvironment::buildDir() + QStringLiteral("/tests/virtualpointer");
}

bool VirtualPointer::start(const QString &waylandDisplay, const QSize &extent)
{
    stop();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), waylandDisplay);
    m_process.setProcessEnvironment(environment);
    m_process.start(toolPath(), {QString::number(extent.width()), QString::number(extent.height())});
    if (!m_process.waitForStarted(5000)) {
        m_error = m_process.errorString();
        return false;
    }
    while (!m_process.canReadLine()) {
        if (!m_process.waitForReadyRead(5000)) {
            m_error = QString::fromUtf8(m_process.readAllStandardError());
            return false;
        }
    }
    return m_process.readLine().trimmed() == "ready";
}

void VirtualPointer::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

bool VirtualPointer::send(const QByteArray &line)
{
    if (m_process.state() != QProcess::Running) {
        m_error = QStringLiteral("the pointer is not running");
        return false;
    }
    m_process.write(line + '\n');
    while (!m_process.canReadLine()) {
        if (!m_process.waitForReadyRead(5000)) {
            m_error = QStringLiteral("no answer to ") + QString::fromUtf8(line);
            return false;
        }
    }
    const QByteArray answer = m_process.readLine().trimmed();
    if (answer != "ok") {
        m_error = QString::fromUtf8(line + ": " + answer);
        return false;
    }
    return true;
}

bool VirtualPointer::move(const QPoint &to)
{
    return send("move " + QByteArray::number(to.x()) + ' ' + QByteArray::number(to.y()));
}

bool VirtualPointer::press()
{
    return send("down");
}

bool VirtualPointer::release()
{
    return send("up");
}

bool VirtualPointer::click(const QPoint &at)
{
    // The window under the pointer learns it is there before the press.
    if (!move(at))
        return false;
    QTest::qWait(100);
    return send("click");
}

bool VirtualPointer::doubleClick(const QPoint &at)
{
    if (!move(at))
        return false;
    QTest::qWait(100);
    return send("click") && send("click");
}

bool VirtualPointer::drag(const QPoint &from, const QPoint &to)
{
    if (!move(from))
        return false;
    QTest::qWait(100);
    if (!press())
        return false;
    QTest::qWait(100);
    const QPoint first = from + QPoint(to.x() > from.x() ? 1 : to.x() < from.x() ? -1 : 0,
                                       to.y() > from.y() ? 1 : to.y() < from.y() ? -1 : 0);
    if (!move(first))
        return false;
    // The program asks the compositor for its move or resize here.
    QTest::qWait(300);
    constexpr int steps = 6;
    for (int step = 1; step <= steps; ++step) {
        if (!move(first + (to - first) * step / steps))
            return false;
        QTest::qWait(60);
    }
    // A program that draws a step late makes sway take that older size for
    // the window; a hand resting on the target still sends motion, which
    // gives the compositor the pointer's place again before the release.
    QTest::qWait(300);
    if (!move(to))
        return false;
    QTest::qWait(400);
    return release();
}
