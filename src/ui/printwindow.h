#pragma once

#include "reports/reporttext.h"

#include <QList>
#include <QStringList>
#include <QWidget>

class QTextEdit;

// "打印报表": a text report ready to print, save as PDF and, where it has lines, export.
class PrintWindow final : public QWidget
{
    Q_OBJECT

public:
    // `table` is what "导出CSV" writes; without it the button is not shown. `anchor` is
    // printed under the report.
    PrintWindow(const StyledText &text, const QList<QStringList> &table, const QString &fileStem,
                const QString &anchor = {}, QWidget *parent = nullptr);

    QTextEdit *textArea() const { return m_text; }

private:
    QTextEdit *m_text;
    QList<QStringList> m_table;
    QString m_fileStem;
    QString m_anchor;
};
