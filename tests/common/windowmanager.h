#pragma once

#include <QObject>
#include <QProcess>
#include <QString>

// One X11 window manager on the test's display (DISPLAY): openbox, mutter in
// its X11 mode, or xfwm4 without its compositor. Started and stopped by the
// test; ready once the root window names it as the supporting manager, since
// the root keeps the check window of a manager that is gone.
class WindowManager : public QObject
{
    Q_OBJECT
public:
    explicit WindowManager(QObject *parent = nullptr);
    ~WindowManager() override;

    // Whether the manager's program is installed.
    static bool isInstalled(const QString &name);
    // The name a manager gives itself on its check window.
    static QString announcedName(const QString &name);
    // The name on the root window's current check window; empty when none.
    static QString runningName();

    bool start(const QString &name, int timeoutMs = 20000);
    void stop();
    QString name() const { return m_name; }

private:
    bool startOnce(const QString &name, int timeoutMs);
    QProcess m_process;
    QString m_name;
    // mutter and xfwm4 run under dbus-run-session, which passes no signal on:
    // the manager's own process id, to end it by.
    qint64 m_managerPid = 0;
};
