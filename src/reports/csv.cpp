#include "csv.h"

#include <QSaveFile>

QString csvField(const QString &text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r'))
        return text;
    QString quoted = text;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QString inertText(const QString &text)
{
    if (text.isEmpty())
        return text;
    const QChar first = text.front();
    if (first != u'=' && first != u'+' && first != u'-' && first != u'@')
        return text;
    // "-7.5" is money handed back, not a formula.
    bool number = false;
    text.toDouble(&number);
    return number && first == u'-' && text.size() > 1 && text.at(1).isDigit() ? text : u'\'' + text;
}

QByteArray csvBytes(const QList<QStringList> &rows)
{
    QString text;
    for (const QStringList &row : rows) {
        QStringList fields;
        for (const QString &f : row)
            fields.append(csvField(inertText(f)));
        text += fields.join(u',') + QStringLiteral("\r\n");
    }
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

Result<> saveCsv(const QString &path, const QList<QStringList> &rows)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failure(QStringLiteral("无法写入文件 %1：%2").arg(path, file.errorString()));
    const QByteArray bytes = csvBytes(rows);
    if (file.write(bytes) != bytes.size() || !file.commit())
        return failure(QStringLiteral("无法写入文件 %1：%2").arg(path, file.errorString()));
    return {};
}
