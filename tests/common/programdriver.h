#pragma once

#include <QObject>
#include <QPoint>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>

class TestEnvironment;

// Drives the built program from outside, the way the launcher and a user
// do: vellora-launcher for requests, file events and the launcher's end of
// the channel; xdotool for windows and real mouse and keyboard input on the
// X display.
class ProgramDriver : public QObject
{
    Q_OBJECT
public:
    ProgramDriver(const TestEnvironment &environment, const QString &lockName, QObject *parent = nullptr);
    ~ProgramDriver() override;

    // Drive an installed or unpacked copy instead of the build tree's.
    void useInstalledTree(const QString &launcherTool, const QString &program);

    // Starts `vellora-launcher listen`; every message it prints is kept.
    bool startListening();
    QStringList messages() const { return m_messages; }
    void clearMessages() { m_messages.clear(); }
    bool waitForMessages(int count, int timeoutMs = 10000) const;

    // `vellora-launcher open`; returns the request file's name, empty on failure.
    QString open(const QString &type, const QString &package, const QString &url, const QString &game);
    void fireEvent(int event);

    // Whether a primary holds the instance lock; this test's program
    // processes (helpers included: they carry its configuration).
    bool primaryRuns() const;
    int programProcesses() const;
    // Ends a running primary and waits until every process of it is gone.
    bool endProgram(int timeoutMs = 15000);

    QString logText() const;
    bool waitForLog(const QString &text, int count = 1, int timeoutMs = 20000) const;

    QString buildDir() const { return m_build; }

    static QString run(const QString &program, const QStringList &arguments, int *exitCode = nullptr);
    // Visible X windows whose name is exactly title.
    static QStringList windows(const QString &title);
    static QRect geometry(const QString &window);
    static void click(const QPoint &screen, int button = 1);
    static void key(const QString &window, const QString &keys);
    // Presses the left button at from, moves there in small steps and
    // releases it at to, with pauses a drag needs. Runs in the background,
    // so that this process can take part in the drag.
    static QProcess *dragInBackground(const QPoint &from, const QPoint &to);
    // The same drag for a program in another process, done before it
    // returns: a small first step (where a manager's move begins), the way
    // to the target in a few steps, a pause for the manager before the
    // release.
    static void drag(const QPoint &from, const QPoint &to);
    static void doubleClick(const QPoint &screen);
    // Keys typed for the window that has the focus, as a keyboard would.
    static void typeKey(const QString &keys);
    static void typeText(const QString &text);
    // What xprop says of the window's property (its whole line).
    static QString windowProperty(const QString &window, const QString &property);
    // The window that has the focus by the manager's word, and the one on
    // top of its stacking order; empty where there is none.
    static QString activeWindow();
    static QString topWindow();

private:
    const TestEnvironment &m_environment;
    QString m_lockName;
    QString m_build;
    QString m_launcherTool;
    QString m_program;
    QProcess m_listener;
    QStringList m_messages;
};
