#pragma once

#include "ratebudget.h"

#include <QString>
#include <QtGlobal>

class QLoggingCategory;

// What one page makes the program write into its log. The page decides how
// often it speaks and how much it says; this bounds both: a burst of lines,
// then a few a second, each text shortened. Lines that did not make it are
// counted in the next one that does, so the log still tells that they were
// there.
class PageLog
{
public:
    static constexpr int maxTextChars = 500;

    PageLog(int burst, int refillMs);

    // "[Tradory] <what> <text>" at level type in category, if the category
    // takes that level and the budget allows a line now.
    void write(QtMsgType type, const char *what, const QString &text, const QLoggingCategory &category);
    void write(QtMsgType type, const char *what, const QString &text);

    // text cut to maxChars, saying how long it was.
    static QString shortened(const QString &text, int maxChars = maxTextChars);

private:
    RateBudget m_budget;
};
