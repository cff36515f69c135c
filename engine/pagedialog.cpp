#include "pagedialog.h"

#include "pagelog.h"

#include "windowfront.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QInputDialog>
#include <QMessageBox>
#include <QWidget>
#include <QWindow>

PageDialog::PageDialog(Kind kind, QWidget *view, const QUrl &securityOrigin, const QString &text,
                       const QString &defaultValue)
    : m_kind(kind)
    , m_window(view ? view->window() : nullptr)
    , m_origin(securityOrigin)
    , m_text(PageLog::shortened(text, maxTextChars))
{
    m_dialog = makeDialog(PageLog::shortened(defaultValue, maxTextChars));
    if (m_window)
        m_window->installEventFilter(this);
}

PageDialog::~PageDialog()
{
    if (m_window)
        m_window->removeEventFilter(this);
    delete m_dialog.data();
}

QString PageDialog::title() const
{
    const QString host = m_origin.host();
    return host.isEmpty() ? tr("Message from the page") : tr("Message from %1").arg(host);
}

QDialog *PageDialog::makeDialog(const QString &defaultValue)
{
    QDialog *dialog = nullptr;
    if (m_kind == Prompt) {
        auto *input = new QInputDialog;
        input->setLabelText(m_text);
        input->setTextValue(defaultValue);
        dialog = input;
    } else {
        auto *box = new QMessageBox;
        // Never rich text: a page's markup could load local files as images.
        box->setTextFormat(Qt::PlainText);
        box->setText(m_text);
        box->setIcon(m_kind == Alert ? QMessageBox::Information : QMessageBox::Question);
        box->setStandardButtons(m_kind == Alert ? QMessageBox::Ok : QMessageBox::Ok | QMessageBox::Cancel);
        dialog = box;
    }
    dialog->setWindowTitle(title());
    dialog->setWindowModality(Qt::NonModal);
    return dialog;
}

void PageDialog::placeOverWindow()
{
    // Not a child of the window: the window's style sheet would reach it.
    // Over it and tied to it all the same.
    m_dialog->adjustSize();
    m_dialog->move(m_window->frameGeometry().center() - m_dialog->rect().center());
    m_dialog->winId();
    if (QWindow *own = m_dialog->windowHandle())
        own->setTransientParent(m_window->windowHandle());
}

PageDialog::Answer PageDialog::exec()
{
    if (!m_dialog || !m_window)
        return Rejected;
    QEventLoop loop;
    m_loop = &loop;
    int result = QDialog::Rejected;
    connect(m_dialog, &QDialog::finished, &loop, [&](int code) {
        result = code;
        loop.quit();
    });
    connect(m_window, &QObject::destroyed, &loop, &QEventLoop::quit);
    placeOverWindow();
    m_dialog->show();
    WindowFront::bringToFront(m_dialog);
    loop.exec();
    m_loop = nullptr;
    if (m_closeWanted || !m_window)
        return WindowClosing;
    if (auto *input = qobject_cast<QInputDialog *>(m_dialog.data()))
        m_value = input->textValue();
    return result == QDialog::Accepted || result == QMessageBox::Ok ? Accepted : Rejected;
}

bool PageDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::Close && !m_closeWanted) {
        event->ignore();
        m_closeWanted = true;
        if (m_dialog)
            m_dialog->hide();
        if (m_loop)
            m_loop->quit();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
