#include "common/numbers.h"

#include <QTest>

class NumbersTest : public QObject
{
    Q_OBJECT

private slots:
    void numberValue_data();
    void numberValue();
    void roundEven_data();
    void roundEven();
    void roundByUnit_data();
    void roundByUnit();
    void plainNumber_data();
    void plainNumber();
    void nextFreeNumber_data();
    void nextFreeNumber();
};

void NumbersTest::numberValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");

    QTest::newRow("integer") << QStringLiteral("42") << 42.0;
    QTest::newRow("second point ends the number") << QStringLiteral("12.5.3") << 12.5;
    QTest::newRow("letters") << QStringLiteral("abc") << 0.0;
    QTest::newRow("empty") << QString() << 0.0;
    QTest::newRow("leading blank") << QStringLiteral(" 7") << 7.0;
    QTest::newRow("negative with tail") << QStringLiteral("-3x") << -3.0;
    QTest::newRow("plus sign") << QStringLiteral("+5") << 5.0;
    QTest::newRow("point first") << QStringLiteral(".5") << 0.5;
    QTest::newRow("trailing point") << QStringLiteral("5.") << 5.0;
    QTest::newRow("point alone") << QStringLiteral(".") << 0.0;
    QTest::newRow("sign alone") << QStringLiteral("-") << 0.0;
    QTest::newRow("no exponent") << QStringLiteral("1e5") << 1.0;
    QTest::newRow("unit after money") << QStringLiteral("12.50元") << 12.5;
    QTest::newRow("leading zeros") << QStringLiteral("00000012") << 12.0;
    QTest::newRow("chinese first") << QStringLiteral("元12") << 0.0;
    QTest::newRow("full-width digits are no digits") << QStringLiteral("１２") << 0.0;
}

void NumbersTest::numberValue()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(::numberValue(text), value);
}

void NumbersTest::roundEven_data()
{
    QTest::addColumn<double>("x");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<double>("rounded");

    QTest::newRow("2.5 to even 2") << 2.5 << 0 << 2.0;
    QTest::newRow("3.5 to even 4") << 3.5 << 0 << 4.0;
    QTest::newRow("-2.5 to even -2") << -2.5 << 0 << -2.0;
    QTest::newRow("-3.5 to even -4") << -3.5 << 0 << -4.0;
    QTest::newRow("4.75 up") << 4.75 << 0 << 5.0;
    QTest::newRow("0.5 to 0") << 0.5 << 0 << 0.0;
    QTest::newRow("9*6/10 at 2 decimals") << 9.0 * 6 / 10 << 2 << 5.4;
    QTest::newRow("half cent to even, noisy binary") << 0.135 << 2 << 0.14;
    QTest::newRow("half cent to even, down") << 0.125 << 2 << 0.12;
    QTest::newRow("2.675 is a decimal half") << 2.675 << 2 << 2.68;
    QTest::newRow("one decimal") << 1.25 << 1 << 1.2;
    // Near-half snapping must stay within binary noise, not swallow real fractions.
    QTest::newRow("large amount just under a half") << 100001.4999 << 0 << 100001.0;
    QTest::newRow("cents just under a half") << 12345.674996 << 2 << 12345.67;
}

void NumbersTest::roundEven()
{
    QFETCH(double, x);
    QFETCH(int, decimals);
    QFETCH(double, rounded);
    QCOMPARE(::roundEven(x, decimals), rounded);
}

void NumbersTest::roundByUnit_data()
{
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("unit");
    QTest::addColumn<double>("rounded");

    QTest::newRow("whole yuan, half to even") << 2.5 << 1.0 << 2.0;
    QTest::newRow("half yuan keeps the half") << 2.5 << 0.5 << 2.5;
    QTest::newRow("half yuan: 4.75*2=9.5 -> 10") << 4.75 << 0.5 << 5.0;
    QTest::newRow("half yuan: 9.45 -> 9.5") << 9.45 << 0.5 << 9.5;
    QTest::newRow("half yuan: 1.25*2=2.5 -> 2") << 1.25 << 0.5 << 1.0;
    QTest::newRow("half yuan: 1.75*2=3.5 -> 4") << 1.75 << 0.5 << 2.0;
    QTest::newRow("empty unit is whole yuan") << 6.5 << 0.0 << 6.0;
    QTest::newRow("other unit is whole yuan") << 7.5 << 2.0 << 8.0;
    QTest::newRow("whole yuan, 3.5 up") << 3.5 << 1.0 << 4.0;
}

void NumbersTest::roundByUnit()
{
    QFETCH(double, x);
    QFETCH(double, unit);
    QFETCH(double, rounded);
    QCOMPARE(::roundByUnit(x, unit), rounded);
}

void NumbersTest::plainNumber_data()
{
    QTest::addColumn<double>("x");
    QTest::addColumn<QString>("text");

    QTest::newRow("integer") << 12.0 << QStringLiteral("12");
    QTest::newRow("half") << 2.5 << QStringLiteral("2.5");
    QTest::newRow("negative") << -26.0 << QStringLiteral("-26");
    QTest::newRow("zero") << 0.0 << QStringLiteral("0");
    QTest::newRow("negative zero") << -0.0 << QStringLiteral("0");
    QTest::newRow("large, no separators") << 1234567.0 << QStringLiteral("1234567");
}

void NumbersTest::plainNumber()
{
    QFETCH(double, x);
    QFETCH(QString, text);
    QCOMPARE(::plainNumber(x), text);
}

void NumbersTest::nextFreeNumber_data()
{
    QTest::addColumn<QStringList>("used");
    QTest::addColumn<QString>("next");

    QTest::newRow("empty") << QStringList() << QStringLiteral("00000001");
    QTest::newRow("gap is reused") << QStringList{QStringLiteral("00000001"), QStringLiteral("00000003")}
                                   << QStringLiteral("00000002");
    QTest::newRow("after a run") << QStringList{QStringLiteral("00000002"), QStringLiteral("00000001")}
                                 << QStringLiteral("00000003");
    QTest::newRow("unpadded numbers count by value")
        << QStringList{QStringLiteral("1"), QStringLiteral("2")} << QStringLiteral("00000003");
    QTest::newRow("texts and zero are ignored")
        << QStringList{QStringLiteral("abc"), QStringLiteral("0"), QStringLiteral("-1"), QString()}
        << QStringLiteral("00000001");
    QTest::newRow("fractions are not numbers in use") << QStringList{QStringLiteral("1.5")}
                                                      << QStringLiteral("00000001");
    QTest::newRow("leading number of a text counts") << QStringList{QStringLiteral("00000001abc")}
                                                     << QStringLiteral("00000002");
    QTest::newRow("large numbers do not fill gaps") << QStringList{QStringLiteral("123456789")}
                                                    << QStringLiteral("00000001");
}

void NumbersTest::nextFreeNumber()
{
    QFETCH(QStringList, used);
    QFETCH(QString, next);
    QCOMPARE(::nextFreeNumber(used), next);
}

QTEST_GUILESS_MAIN(NumbersTest)
#include "numbers_test.moc"
