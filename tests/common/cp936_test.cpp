#include "common/cp936.h"

#include <QTest>

class Cp936Test : public QObject
{
    Q_OBJECT

private slots:
    void encode_data();
    void encode();
    void byteLength_data();
    void byteLength();
    void invalidBytes_data();
    void invalidBytes();
    void roundTrip();
};

void Cp936Test::encode_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("two characters") << QStringLiteral("可乐") << QByteArray::fromHex("bfc9c0d6");
    QTest::newRow("ascii stays one byte") << QStringLiteral("_comm") << QByteArrayLiteral("_comm");
    // Second bytes that are ASCII characters: "|" and "\".
    QTest::newRow("second byte is |") << QStringLiteral("億") << QByteArray::fromHex("837c");
    QTest::newRow("second byte is backslash") << QStringLiteral("誠") << QByteArray::fromHex("d55c");
    QTest::newRow("mixed") << QStringLiteral("3号机") << QByteArray::fromHex("33bac5bbfa");
    QTest::newRow("outside the code page") << QStringLiteral("a😀b") << QByteArrayLiteral("a?b");
    QTest::newRow("outside, between chinese") << QStringLiteral("可😀乐") << QByteArray::fromHex("bfc93fc0d6");
    QTest::newRow("zero byte passes") << QString(QChar(0)) << QByteArray(1, '\0');
    QTest::newRow("empty") << QString() << QByteArray();
}

void Cp936Test::encode()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(cp936::encode(text), bytes);
}

void Cp936Test::byteLength_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("length");

    QTest::newRow("four chinese") << QStringLiteral("你好世界") << 8;
    QTest::newRow("ascii") << QStringLiteral("abc") << 3;
    QTest::newRow("mixed") << QStringLiteral("1号机") << 5;
    QTest::newRow("empty") << QString() << 0;
}

void Cp936Test::byteLength()
{
    QFETCH(QString, text);
    QFETCH(int, length);
    QCOMPARE(cp936::byteLength(text), length);
}

void Cp936Test::invalidBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    const QString bad(QChar(0xFFFD));
    QTest::newRow("invalid byte") << QByteArray::fromHex("ff") << bad;
    QTest::newRow("invalid byte inside") << QByteArray::fromHex("41ff42") << QStringLiteral("A") + bad + QStringLiteral("B");
    QTest::newRow("lead byte cut at the end") << QByteArray::fromHex("41bf") << QStringLiteral("A") + bad;
    QTest::newRow("bad byte then a character") << QByteArray::fromHex("ffbfc9") << bad + QStringLiteral("可");
    QTest::newRow("only bad bytes") << QByteArray::fromHex("ffffff") << bad + bad + bad;
}

void Cp936Test::invalidBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(cp936::decode(bytes), text);
}

void Cp936Test::roundTrip()
{
    const QString text = QStringLiteral("億誠|\\你所定的时间已经到了，请到吧台去结帐！ 3号机 OK$");
    QCOMPARE(cp936::decode(cp936::encode(text)), text);

    // Long texts grow the output buffer more than once.
    QString longText;
    for (int i = 0; i < 5000; ++i)
        longText += QStringLiteral("可乐a");
    QCOMPARE(cp936::byteLength(longText), 5 * 5000);
    QCOMPARE(cp936::decode(cp936::encode(longText)), longText);

    // Many bad bytes in a row must not overflow the output.
    QByteArray noise(10000, char(0xff));
    QCOMPARE(cp936::decode(noise), QString(10000, QChar(0xFFFD)));
}

QTEST_GUILESS_MAIN(Cp936Test)
#include "cp936_test.moc"
