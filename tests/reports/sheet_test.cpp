#include "reports/machinetimereport.h"
#include "reports/sheet.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

using namespace Qt::StringLiterals;

namespace {

// One settled session as a bookkeeper's spreadsheet must not mangle: an 18-digit ID number,
// a customer whose name a spreadsheet would work out.
MachineTimeReport oneSession()
{
    MachineTimeReport report(
        {QDateTime(QDate(2026, 12, 1), QTime(0, 0)), QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59))});
    report.add({1, 7, 3, u"2026-12-07 12:00:00"_s, u"2026-12-07 14:05:00"_s, u"N"_s, 19, 19, 0, u"收银员"_s,
                u"=1+2"_s, u"身份证"_s, u"110105194912310021"_s});
    return report;
}

struct XlsxCell
{
    QString type;  // t="…": empty for a number
    QString style; // s="…"
    QString value; // <v> of a number, <t> of an inline string
};

// The cells of the first sheet of an .xlsx by reference ("A1"), read with unzip.
QHash<QString, XlsxCell> xlsxCells(const QString &path, QString *styles)
{
    auto part = [&path](const QString &name) {
        QProcess unzip;
        unzip.start(QStandardPaths::findExecutable(u"unzip"_s), {u"-p"_s, path, name});
        unzip.waitForFinished(10000);
        return unzip.readAllStandardOutput();
    };
    *styles = QString::fromUtf8(part(u"xl/styles.xml"_s));
    QHash<QString, XlsxCell> cells;
    QXmlStreamReader xml(part(u"xl/worksheets/sheet1.xml"_s));
    QString ref;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == u"c") {
            ref = xml.attributes().value(u"r"_s).toString();
            cells[ref] = {
                xml.attributes().value(u"t"_s).toString(), xml.attributes().value(u"s"_s).toString(), {}};
        } else if (xml.name() == u"v" || xml.name() == u"t") {
            cells[ref].value = xml.readElementText();
        }
    }
    return cells;
}

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class SheetTest : public QObject
{
    Q_OBJECT

private slots:
    void csvCells_data()
    {
        QTest::addColumn<SheetCell>("cell");
        QTest::addColumn<QString>("text");
        QTest::newRow("money") << SheetCell::money(19) << u"19.00"_s;
        QTest::newRow("money handed back") << SheetCell::money(-7.5) << u"-7.50"_s;
        QTest::newRow("count") << SheetCell::number(3) << u"3"_s;
        QTest::newRow("discount") << SheetCell::number(12.5) << u"12.5"_s;
        QTest::newRow("moment") << SheetCell::moment(u"2026-12-07 14:05:33"_s) << u"2026-12-07 14:05"_s;
        QTest::newRow("no moment") << SheetCell::moment({}) << QString();
        QTest::newRow("plain text, unpadded") << SheetCell::textCell(u"正常"_s) << u"正常"_s;
        QTest::newRow("formula") << SheetCell::textCell(u"=1+2"_s) << u"'=1+2"_s;
        QTest::newRow("plus") << SheetCell::textCell(u"+86 138"_s) << u"'+86 138"_s;
        QTest::newRow("minus formula") << SheetCell::textCell(u"-1+2"_s) << u"'-1+2"_s;
        QTest::newRow("at") << SheetCell::textCell(u"@SUM(A1)"_s) << u"'@SUM(A1)"_s;
        QTest::newRow("ID number") << SheetCell::textCell(u"110105194912310021"_s)
                                   << u"\t110105194912310021"_s;
        QTest::newRow("ID number with X")
            << SheetCell::textCell(u"11010519491231002X"_s) << u"11010519491231002X"_s;
        QTest::newRow("article number") << SheetCell::textCell(u"00000003"_s) << u"\t00000003"_s;
    }
    void csvCells()
    {
        QFETCH(SheetCell, cell);
        QFETCH(QString, text);
        QCOMPARE(csvCellText(cell), text);
    }

    void csvOfTheMachineTimeReport()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"time.csv"_s);
        QVERIFY(writeSheet(oneSession().sheet(), path, SheetFormat::Csv));
        const QByteArray bytes = contents(path);
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        QCOMPARE(
            QString::fromUtf8(bytes.mid(3)),
            u"ID,机号,开始时间,结束时间,上机方式,应收款,实收款,优惠,结帐人,客户姓名,客户证件,证件号码\r\n"
            "7,3,2026-12-07 12:00,2026-12-07 14:05,正常,19.00,19.00,0,收银员,'=1+2,身份证,\t110105194912310021\r\n"_s);
    }

    void xlsxCellsAreTyped()
    {
        if (QStandardPaths::findExecutable(u"unzip"_s).isEmpty())
            QSKIP("unzip is not installed");
        QTemporaryDir dir;
        const QString path = dir.filePath(u"time.xlsx"_s);
        QVERIFY(writeSheet(oneSession().sheet(), path, SheetFormat::Xlsx));
        QString styles;
        const QHash<QString, XlsxCell> cells = xlsxCells(path, &styles);
        // Title and period above the heading row.
        QCOMPARE(cells.value(u"A1"_s).value, u"机时收费表"_s);
        QCOMPARE(cells.value(u"A2"_s).value, u"2026-12-01 00:00:00 至 2026-12-31 23:59:59"_s);
        QCOMPARE(cells.value(u"L4"_s).value, u"证件号码"_s);
        // Numbers are numbers, money too, with two decimals shown.
        QCOMPARE(cells.value(u"A5"_s).type, QString());
        QCOMPARE(cells.value(u"A5"_s).value, u"7"_s);
        QCOMPARE(cells.value(u"F5"_s).type, QString());
        QCOMPARE(cells.value(u"F5"_s).value, u"19"_s);
        // A moment is a day number with a date format.
        const XlsxCell end = cells.value(u"D5"_s);
        QCOMPARE(end.type, QString());
        const double day = QDate(1899, 12, 30).daysTo(QDate(2026, 12, 7));
        QVERIFY2(qAbs(end.value.toDouble() - (day + (14 * 60 + 5) / 1440.0)) < 1e-6, qPrintable(end.value));
        QVERIFY(!end.style.isEmpty());
        QVERIFY(styles.contains(u"formatCode=\"yyyy-mm-dd hh:mm\""_s));
        QVERIFY(styles.contains(u"formatCode=\"0.00\""_s));
        // Names and the ID number are text, never a formula or a number.
        QCOMPARE(cells.value(u"J5"_s).value, u"=1+2"_s);
        QCOMPARE(cells.value(u"J5"_s).type, u"inlineStr"_s);
        QCOMPARE(cells.value(u"L5"_s).value, u"110105194912310021"_s);
        QCOMPARE(cells.value(u"L5"_s).type, u"inlineStr"_s);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"time.xlsx"_s});
    }

    // A file is written whole or not at all: cancelled or failed, what was there stays.
    void cancellingLeavesWhatWasThere_data()
    {
        QTest::addColumn<SheetFormat>("format");
        QTest::newRow("csv") << SheetFormat::Csv;
        QTest::newRow("xlsx") << SheetFormat::Xlsx;
    }
    void cancellingLeavesWhatWasThere()
    {
        QFETCH(SheetFormat, format);
        ReportSheet sheet{u"商品销售统计表"_s, {}, {u"数量"_s}, {}, {}};
        for (int i = 0; i < 2500; ++i)
            sheet.rows.append({SheetCell::number(i)});
        QTemporaryDir dir;
        const QString path = dir.filePath(u"out"_s);
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();

        QList<int> told;
        const Result<> cancelled = writeSheet(sheet, path, format, [&told](int percent) {
            told.append(percent);
            return told.size() < 2;
        });
        QVERIFY(!cancelled);
        QCOMPARE(cancelled.error(), sheetCancelled());
        QCOMPARE(told, (QList<int>{40, 80}));
        QCOMPARE(contents(path), QByteArray("old"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"out"_s});

        told.clear();
        QVERIFY(writeSheet(sheet, path, format, [&told](int percent) {
            told.append(percent);
            return true;
        }));
        QCOMPARE(told.last(), 100);
        QVERIFY(contents(path) != QByteArray("old"));

        const Result<> nowhere = writeSheet(sheet, dir.filePath(u"no/such/folder/out"_s), format);
        QVERIFY(!nowhere);
        QVERIFY2(nowhere.error().startsWith(u"无法写入文件"_s), qPrintable(nowhere.error()));
    }
};

QTEST_GUILESS_MAIN(SheetTest)
#include "sheet_test.moc"
