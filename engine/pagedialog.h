#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

class QDialog;
class QEventLoop;
class QWidget;

// One alert, confirm or prompt of a page, shown over the page's window.
//
// The page's script waits for the answer, so the answer is waited for here,
// in an event loop of its own. The dialog is not modal: a modal one would
// also block the window's own title bar, and a page that opens dialogs one
// after the other would leave its user no way to close the window. A close
// of the window that comes while the dialog is up ends the dialog instead;
// the caller closes the window once the page's script has its answer
// (closing it from within the dialog's loop would delete the page under its
// own call).
class PageDialog : public QObject
{
    Q_OBJECT
public:
    enum Kind { Alert, Confirm, Prompt };
    enum Answer { Accepted, Rejected, WindowClosing };

    // The longest text the dialog shows of what the page gave it.
    static constexpr int maxTextChars = 2000;

    PageDialog(Kind kind, QWidget *view, const QUrl &securityOrigin, const QString &text,
               const QString &defaultValue = QString());
    ~PageDialog() override;

    // Shows the dialog and waits until it is answered, the window asks to
    // close or the window goes away.
    Answer exec();
    // What the user typed into a prompt.
    QString value() const { return m_value; }
    // The window the dialog stands over.
    QWidget *window() const { return m_window; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QDialog *makeDialog(const QString &defaultValue);
    void placeOverWindow();
    QString title() const;

    const Kind m_kind;
    QPointer<QWidget> m_window;
    const QUrl m_origin;
    const QString m_text;
    QPointer<QDialog> m_dialog;
    QString m_value;
    QEventLoop *m_loop = nullptr;
    bool m_closeWanted = false;
};
