#include "inifile.h"

#include <QFile>
#include <QStringList>
#include <QTextCodec>

namespace {

QString unquoted(const QString &value, bool *ok)
{
    if (!value.startsWith(QLatin1Char('"'))) {
        const int comment = value.indexOf(QLatin1Char(';'));
        return (comment < 0 ? value : value.left(comment)).trimmed();
    }
    QString text;
    for (int i = 1; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == QLatin1Char('\\') && i + 1 < value.size()) {
            text.append(value.at(++i));
        } else if (c == QLatin1Char('"')) {
            return text;
        } else {
            text.append(c);
        }
    }
    *ok = false;  // no closing quote
    return QString();
}

} // namespace

QHash<QString, QString> IniFile::read(const QString &path, bool *ok)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxBytes) {
        if (ok)
            *ok = false;
        return {};
    }
    return parse(file.readAll(), ok);
}

QHash<QString, QString> IniFile::parse(const QByteArray &text, bool *ok)
{
    bool good = !text.contains('\0');
    QTextCodec::ConverterState state;
    QString decoded = QTextCodec::codecForName("UTF-8")->toUnicode(text.constData(), text.size(), &state);
    good = good && state.invalidChars == 0;
    if (decoded.startsWith(QChar(0xfeff)))
        decoded.remove(0, 1);

    QHash<QString, QString> values;
    QString section = QStringLiteral("General");
    const QStringList lines = decoded.split(QLatin1Char('\n'));
    for (int i = 0; good && i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            good = line.endsWith(QLatin1Char(']')) && line.size() > 2;
            section = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const int equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0) {
            good = false;
            break;
        }
        const QString value = unquoted(line.mid(equals + 1).trimmed(), &good);
        values.insert(section + QLatin1Char('/') + line.left(equals).trimmed(), value);
    }
    if (ok)
        *ok = good;
    return good ? values : QHash<QString, QString>();
}
