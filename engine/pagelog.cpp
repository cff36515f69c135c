#include "pagelog.h"

#include <QDebug>
#include <QLoggingCategory>
#include <QTimer>

namespace {

QDebug loggerFor(QtMsgType type, const QLoggingCategory &category)
{
    const QMessageLogger logger(nullptr, 0, nullptr, category.categoryName());
    switch (type) {
    case QtDebugMsg:
        return logger.debug();
    case QtInfoMsg:
        return logger.info();
    case QtWarningMsg:
        return logger.warning();
    default:
        // Never fatal: a page must not be able to end the program.
        return logger.critical();
    }
}

} // namespace

PageLog::PageLog(QObject *context, int burst, int refillMs)
    : m_context(context)
    , m_refillMs(refillMs)
    , m_budget(burst, refillMs)
{
}

void PageLog::write(QtMsgType type, const char *what, const QString &text)
{
    write(type, what, text, *QLoggingCategory::defaultCategory());
}

void PageLog::write(QtMsgType type, const char *what, const QString &text, const QLoggingCategory &category)
{
    if (!category.isEnabled(type == QtFatalMsg ? QtCriticalMsg : type))
        return;
    const int dropped = m_budget.refusedSinceGranted();
    if (!m_budget.take()) {
        scheduleSummary(type, what, category);
        return;
    }
    // Quoted, so that the page's text cannot start lines of its own.
    QDebug line = loggerFor(type, category);
    line.nospace() << "[Tradory] " << what << ": " << shortened(text);
    if (dropped > 0)
        line << " (" << dropped << " more lines of this page left out before this one)";
}

void PageLog::scheduleSummary(QtMsgType type, const char *what, const QLoggingCategory &category)
{
    if (m_summaryPending || !m_context)
        return;
    m_summaryPending = true;
    // Categories live as long as the program; what is a literal.
    const QLoggingCategory *kept = &category;
    QTimer::singleShot(m_refillMs, m_context, [this, type, what, kept]() {
        m_summaryPending = false;
        writeSummary(type, what, *kept);
    });
}

void PageLog::writeSummary(QtMsgType type, const char *what, const QLoggingCategory &category)
{
    const int dropped = m_budget.refusedSinceGranted();
    if (dropped == 0)
        return;
    if (!m_budget.take()) {
        scheduleSummary(type, what, category);
        return;
    }
    loggerFor(type, category).nospace() << "[Tradory] " << what << ": " << dropped
                                         << " more lines of this page left out";
}

QString PageLog::shortened(const QString &text, int maxChars)
{
    if (text.size() <= maxChars)
        return text;
    return text.left(maxChars) + QStringLiteral("... (%1 characters)").arg(text.size());
}
