#include "link/message.h"
#include "link/requests.h"
#include "link/weblists.h"
#include "support/linkfixture.h"

#include <QTest>

using namespace Qt::StringLiterals;
using request::GoodsLine;

Q_DECLARE_METATYPE(GoodsLine)

class MessageTest final : public QObject
{
    Q_OBJECT

private slots:
    void serverMessages();
    void listMessages_data();
    void listMessages();
    void splitting_data();
    void splitting();
    void relayedChat_data();
    void relayedChat();
    void tags();
    void framer_data();
    void framer();
    void goodsOrderItems_data();
    void goodsOrderItems();
    void goodsOrderLines_data();
    void goodsOrderLines();
    void goodsOrderPadding_data();
    void goodsOrderPadding();
};

void MessageTest::serverMessages()
{
    const QByteArray start = wire::command(u"start"_s);
    QCOMPARE(start, bin("_comm\0start\0OK$"));
    QCOMPARE(start.size(), 15);
    QCOMPARE(wire::messageBox(u"可乐"_s), bin("_msgb\0\xbf\xc9\xc0\xd6\0OK$"));
    QCOMPARE(wire::message(u"_comm"_s, {u"settext"_s, u""_s}), bin("_comm\0settext\0\0OK$"));
    // A stray NUL in stored text must not split a field.
    QCOMPARE(wire::message(u"_msgb"_s, {QString(u"a\0b"_s)}), bin("_msgb\0ab\0OK$"));
}

void MessageTest::relayedChat_data()
{
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<QByteArray>("relayed");
    QTest::newRow("plain talk") << bin("_talk\0talk\0A\0hi") << bin("_talk\0talk\0A\0hi\0OK$");
    QTest::newRow("trailing empty fields kept")
        << bin("_talk\0talk\0A\0\0") << bin("_talk\0talk\0A\0\0\0OK$");
    // A message box and a site list glued behind the sender's own trailer are not passed on.
    QTest::newRow("forged messages behind the trailer")
        << bin("_talk\0talk\0x\0OK$_msgb\0note\0OK$_hick\0www.x.com\0\0") << bin("_talk\0talk\0x\0OK$");
    QTest::newRow("text that starts with OK$ ends the message")
        << bin("_talk\0talk\0A\0OK$ thanks") << bin("_talk\0talk\0A\0OK$");
    QTest::newRow("OK$ inside a text is text")
        << bin("_talk\0talk\0A\0fine OK$") << bin("_talk\0talk\0A\0fine OK$\0OK$");
    QTest::newRow("fields beyond eleven dropped") << bin("_talk\0"
                                                         "1\0"
                                                         "2\0"
                                                         "3\0"
                                                         "4\0"
                                                         "5\0"
                                                         "6\0"
                                                         "7\0"
                                                         "8\0"
                                                         "9\0"
                                                         "10\0"
                                                         "11\0"
                                                         "12")
                                                  << bin("_talk\0"
                                                         "1\0"
                                                         "2\0"
                                                         "3\0"
                                                         "4\0"
                                                         "5\0"
                                                         "6\0"
                                                         "7\0"
                                                         "8\0"
                                                         "9\0"
                                                         "10\0"
                                                         "11\0OK$");
}

void MessageTest::relayedChat()
{
    QFETCH(QByteArray, received);
    QFETCH(QByteArray, relayed);
    QCOMPARE(wire::relayedChat(received), relayed);
}

void MessageTest::listMessages_data()
{
    QTest::addColumn<QByteArray>("built");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("empty quick list") << quickAddressMessage({}) << bin("_http\0\0OK$");
    QTest::newRow("empty restricted list") << restrictedSiteMessage({}) << bin("_hick\0\0OK$");
    QTest::newRow("two quick addresses")
        << quickAddressMessage({{1, u"A"_s, u"B"_s}, {2, u"C"_s, u"D"_s}}) << bin("_http\0A\0B\0C\0D\0\0OK$");
    QTest::newRow("restricted fragments, one empty")
        << restrictedSiteMessage({{1, u"sex"_s}, {2, u""_s}}) << bin("_hick\0sex\0\0\0OK$");
    QTest::newRow("empty goods list")
        << wire::listMessage(u"_gets"_s, {u"good"_s}, {}) << bin("_gets\0good\0\0OK$");
}

void MessageTest::listMessages()
{
    QFETCH(QByteArray, built);
    QFETCH(QByteArray, expected);
    QCOMPARE(built, expected);
}

void MessageTest::splitting_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("single");
    QTest::addColumn<QStringList>("fixed3");
    QTest::addColumn<QStringList>("all");

    QTest::newRow("one field") << bin("_sele\0"
                                      "7")
                               << u"7"_s << QStringList{u"7"_s, {}, {}} << QStringList{u"7"_s};
    QTest::newRow("tag alone") << QByteArray("_sele") << QString() << QStringList{{}, {}, {}}
                               << QStringList{};
    QTest::newRow("empty message") << QByteArray() << QString() << QStringList{{}, {}, {}} << QStringList{};
    QTest::newRow("empty fields") << bin("_gets\0card\0\0pw") << u"card"_s
                                  << QStringList{u"card"_s, {}, u"pw"_s}
                                  << QStringList{u"card"_s, {}, u"pw"_s};
    QTest::newRow("surplus fields dropped")
        << bin("_vali\0a\0b\0c\0d\0e") << u"a"_s << QStringList{u"a"_s, u"b"_s, u"c"_s}
        << QStringList{u"a"_s, u"b"_s, u"c"_s, u"d"_s, u"e"_s};
    QTest::newRow("trailing separator")
        << bin("_http\0a\0") << u"a"_s << QStringList{u"a"_s, {}, {}} << QStringList{u"a"_s, {}};
    // 億 is 83 7C ("|" as second byte), 誠 is D5 5C (a backslash as second byte).
    QTest::newRow("ASCII second bytes") << bin("_good\0\x83\x7c\0\xd5\x5c") << u"億"_s
                                        << QStringList{u"億"_s, u"誠"_s, {}} << QStringList{u"億"_s, u"誠"_s};
    // A lone lead byte before a separator must not swallow the separator.
    QTest::newRow("invalid sequence")
        << bin("_good\0\x81\0x") << u"\uFFFD"_s << QStringList{u"\uFFFD"_s, u"x"_s, {}}
        << QStringList{u"\uFFFD"_s, u"x"_s};
}

void MessageTest::splitting()
{
    QFETCH(QByteArray, message);
    QFETCH(QString, single);
    QFETCH(QStringList, fixed3);
    QFETCH(QStringList, all);
    QCOMPARE(wire::singleField(message), single);
    QCOMPARE(wire::fixedFields(message, 3), fixed3);
    QCOMPARE(wire::allFields(message), all);
}

void MessageTest::tags()
{
    QCOMPARE(wire::tagOf(bin("_comm\0start")), QByteArray("_comm"));
    QCOMPARE(wire::tagOf(bin("_co\0mm")), bin("_co\0m"));
    QCOMPARE(wire::tagOf(QByteArray("_go")), QByteArray("_go"));
}

// In the framer's tables a null arrival stands for the end of the wait for the rest.
const QByteArray kWaitOver;

void MessageTest::framer_data()
{
    QTest::addColumn<QList<QByteArray>>("arrivals");
    QTest::addColumn<QList<QByteArray>>("messages");

    const QByteArray sele("_sele\0"
                          "1",
                          7);
    const QByteArray good("_gets\0good", 10);
    const QByteArray end("\0OK$", 4);
    const QByteArray full(wire::kMaxMessage, 'x');
    const QByteArray card = bin("_gets\0card\0"
                                "86100001\0"
                                "1234");

    QTest::newRow("bytes without end mark wait for it")
        << QList<QByteArray>{card.left(15), card.mid(15) + end} << QList<QByteArray>{card};
    QTest::newRow("split anywhere, in many pieces")
        << QList<QByteArray>{card.left(1), card.mid(1, 5), card.mid(6, 9),
                             card.mid(15), end.left(1),    end.mid(1)}
        << QList<QByteArray>{card};
    QTest::newRow("arrival without end mark is one message once the wait is over")
        << QList<QByteArray>{good, kWaitOver} << QList<QByteArray>{good};
    QTest::newRow("nothing before the wait is over") << QList<QByteArray>{good} << QList<QByteArray>{};
    QTest::newRow("joined messages split at end marks")
        << QList<QByteArray>{sele + end + good + end} << QList<QByteArray>{sele, good};
    QTest::newRow("split message waits for its end mark")
        << QList<QByteArray>{sele + end + good.left(8), good.mid(8) + end} << QList<QByteArray>{sele, good};
    QTest::newRow("end mark split across arrivals")
        << QList<QByteArray>{sele + end + good + end.left(2), end.mid(2)} << QList<QByteArray>{sele, good};
    QTest::newRow("held tail after a whole message")
        << QList<QByteArray>{sele + end + good} << QList<QByteArray>{sele};
    QTest::newRow("held tail taken when the wait is over")
        << QList<QByteArray>{sele + end + good, kWaitOver} << QList<QByteArray>{sele, good};
    QTest::newRow("empty arrival") << QList<QByteArray>{QByteArray("")} << QList<QByteArray>{};
    QTest::newRow("message of the largest size")
        << QList<QByteArray>{full.left(wire::kMaxMessage - 1), kWaitOver}
        << QList<QByteArray>{full.left(wire::kMaxMessage - 1)};
    QTest::newRow("over-long arrivals are dropped up to the next message")
        << QList<QByteArray>{full, full, QByteArray(100, 'y'), good, kWaitOver} << QList<QByteArray>{good};
    QTest::newRow("over-long message is dropped up to its end mark")
        << QList<QByteArray>{sele + end, QByteArray(70000, 'x'), QByteArray("tail") + end + good + end}
        << QList<QByteArray>{sele, good};
    QTest::newRow("the end of the wait ends an over-long message")
        << QList<QByteArray>{QByteArray(70000, 'x'), kWaitOver, QByteArray("tail") + end + good + end}
        << QList<QByteArray>{QByteArray("tail"), good};
    const QByteArray chat("_talk\0talk\0me\0OK$ thanks", 24);
    const QByteArray comm("_comm\0start", 11);
    QTest::newRow("end mark inside a text is data")
        << QList<QByteArray>{chat, kWaitOver} << QList<QByteArray>{chat};
    QTest::newRow("trailerless requests: each ends when the next begins")
        << QList<QByteArray>{sele + end, chat, good, comm, kWaitOver}
        << QList<QByteArray>{sele, chat, good, comm};
    QTest::newRow("end mark followed by a text that is no tag")
        << QList<QByteArray>{good + end + "_xyz1", kWaitOver} << QList<QByteArray>{good + end + "_xyz1"};
    QTest::newRow("tag cut by the end of the arrival")
        << QList<QByteArray>{sele + end + "_ge", QByteArray("ts\0good", 7) + end}
        << QList<QByteArray>{sele, good};
    QTest::newRow("over-long framed message in one arrival")
        << QList<QByteArray>{QByteArray(70000, 'x') + end + good + end} << QList<QByteArray>{good};
}

void MessageTest::framer()
{
    QFETCH(QList<QByteArray>, arrivals);
    QFETCH(QList<QByteArray>, messages);
    wire::Framer framer;
    QList<QByteArray> got;
    for (const QByteArray &a : arrivals) {
        got += a.isNull() ? framer.expire() : framer.feed(a);
        QVERIFY(framer.pending() <= wire::kMaxMessage);
    }
    QCOMPARE(got, messages);
}

void MessageTest::goodsOrderItems_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QStringList>("taken"); // "article quantity"
    QTest::addColumn<int>("leftOut");

    QTest::newRow("whole quantities") << bin("_good\0"
                                             "001\0a\0"
                                             "3\0"
                                             "002\0b\0"
                                             "999")
                                      << QStringList{u"001 3"_s, u"002 999"_s} << 0;
    QTest::newRow("not whole 1 to 999") << bin("_good\0"
                                               "001\0a\0-5\0"
                                               "002\0b\0"
                                               "0\0"
                                               "003\0c\0"
                                               "2.5\0"
                                               "004\0d\0"
                                               "1e3\0"
                                               "005\0e\0"
                                               "1000")
                                        << QStringList{} << 5;
    QTest::newRow("incomplete trailing triple") << bin("_good\0"
                                                       "001\0a\0"
                                                       "2\0"
                                                       "002\0b")
                                                << QStringList{u"001 2"_s} << 1;
    QTest::newRow("no items") << QByteArray("_good") << QStringList{} << 0;
}

void MessageTest::goodsOrderItems()
{
    QFETCH(QByteArray, message);
    QFETCH(QStringList, taken);
    QFETCH(int, leftOut);
    const request::GoodsOrder order = request::goodsOrderOf(message);
    QStringList got;
    for (const request::GoodsItem &item : order.items)
        got << item.article + u' ' + QString::number(item.quantity);
    QCOMPARE(got, taken);
    QCOMPARE(order.leftOut.size(), leftOut);
}

void MessageTest::goodsOrderLines_data()
{
    QTest::addColumn<GoodsLine>("line");
    QTest::addColumn<QString>("shown");
    const QString pad = QString(46, u' ');
    QTest::newRow("stock left") << GoodsLine{u"1"_s, u"可乐"_s, u"可乐"_s, 3, 7}
                                << u"可乐"_s + pad + u"数量：3    剩余库存：7"_s;
    QTest::newRow("stock to zero") << GoodsLine{u"1"_s, u"可乐"_s, u"可乐"_s, 3, 0}
                                   << u"可乐"_s + pad + u"数量：3    剩余库存：0"_s;
    QTest::newRow("below zero") << GoodsLine{u"1"_s, u"可乐"_s, u"可乐"_s, 3, -1}
                                << u"可乐"_s + pad + u"数量：3    库存不足（剩余-1）"_s;
    const QString marked = u"矿泉水（※客户端写作：香烟）"_s;
    QTest::newRow("the PC's name differs") << GoodsLine{u"3"_s, u"矿泉水"_s, u"香烟"_s, 2, 8}
                                           << marked + QString(50 - 28, u' ') + u"数量：2    剩余库存：8"_s;
    QTest::newRow("not in the catalogue") << GoodsLine{u"9"_s, QString(), u"香烟"_s, 2, 0}
                                          << u"香烟"_s + pad + u"数量：2    ※商品目录中没有编号9"_s;
}

void MessageTest::goodsOrderLines()
{
    QFETCH(GoodsLine, line);
    QFETCH(QString, shown);
    QCOMPARE(goodsOrderList({line, line}), shown + u"\r\n"_s + shown + u"\r\n"_s);
}

void MessageTest::goodsOrderPadding_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("blanks");

    QTest::newRow("two Chinese characters") << u"可乐"_s << 46;
    QTest::newRow("four Chinese characters") << u"康师傅面"_s << 42;
    QTest::newRow("mixed") << u"可乐500ml"_s << 41;
    QTest::newRow("49 bytes") << QString(49, u'a') << 1;
    QTest::newRow("exactly 50 bytes") << QString(50, u'a') << 1;
    QTest::newRow("longer than 50 bytes") << QString(30, u'饼') << 1;
    QTest::newRow("empty name") << QString() << 50;
}

void MessageTest::goodsOrderPadding()
{
    QFETCH(QString, name);
    QFETCH(int, blanks);
    const QString list =
        goodsOrderList({GoodsLine{u"1"_s, name, name, 3, 1}, GoodsLine{u"2"_s, u"水"_s, u"水"_s, 2, 1}});
    const QString first = name + QString(blanks, u' ') + u"数量：3    "_s;
    QVERIFY2(list.startsWith(first), qPrintable(list));
    QVERIFY(list.endsWith(u"\r\n水"_s + QString(48, u' ') + u"数量：2    剩余库存：1\r\n"_s));
}

QTEST_MAIN(MessageTest)
#include "message_test.moc"
