#include "platform/FileFilter.h"

namespace platform {

namespace {

QString caseFoldPattern(const QString& pattern) {
    QString out;
    for (const QChar c : pattern) {
        if (c.isLetter() && c.toLower() != c.toUpper()) {
            out += QLatin1Char('[');
            out += c.toLower();
            out += c.toUpper();
            out += QLatin1Char(']');
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

QString unfoldedName(const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const qsizetype length = name.size() - dot - 1;
    if (dot < 0 || length == 0 || length % 4 != 0)
        return name;
    QString plain = name.left(dot + 1);
    for (qsizetype i = dot + 1; i < name.size(); i += 4) {
        const QChar lower = name[i + 1];
        if (name[i] != QLatin1Char('[') || name[i + 3] != QLatin1Char(']') || lower.toUpper() != name[i + 2])
            return name;
        plain += lower;
    }
    return plain;
}

QStringList qtNameFilters(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts))
            patterns << (p.trimmed() == QLatin1String("*.*") ? QStringLiteral("*")
                                                             : caseFoldPattern(p.trimmed()));
        filters << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filters;
}

} // namespace platform
