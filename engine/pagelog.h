#pragma once

#include "ratebudget.h"

#include <QString>
#include <QObject>
#include <QtGlobal>

class QLoggingCategory;

// What one page makes the program write into its log. The page decides how
// often it speaks and how much it says; this bounds both: a burst of lines,
// then a few a second, each text shortened. Lines that did not make it are
// counted in the next one that does, or in a line of their own once the
// budget allows one, so the log still tells that they were there.
class PageLog
{
public:
    static constexpr int maxTextChars = 500;

    // Summaries are written while context lives.
    PageLog(QObject *context, int burst, int refillMs);

    // "[Tradory] <what>: <text>" at level type in category, if the category
    // takes that level and the budget allows a line now.
    void write(QtMsgType type, const char *what, const QString &text, const QLoggingCategory &category);
    void write(QtMsgType type, const char *what, const QString &text);

    // text cut to maxChars, saying how long it was.
    static QString shortened(const QString &text, int maxChars = maxTextChars);

private:
    void scheduleSummary(QtMsgType type, const char *what, const QLoggingCategory &category);
    void writeSummary(QtMsgType type, const char *what, const QLoggingCategory &category);

    QObject *const m_context;
    const int m_refillMs;
    RateBudget m_budget;
    bool m_summaryPending = false;
};
