// Editing the two web-address lists and pushing them to every connected PC.
#include "link/weblists.h"
#include "store/webtables.h"
#include "support/linkfixture.h"

#include <QTest>

using namespace Qt::StringLiterals;

class WebListsTest final : public QObject
{
    Q_OBJECT

private slots:
    void init() { f = std::make_unique<LinkFixture>(); }
    void cleanup() { f.reset(); }

    void addressCheck_data();
    void addressCheck();
    void sameNameAsksBeforeOverwriting_data();
    void sameNameAsksBeforeOverwriting();
    void emptyFragmentRefused();
    void editedListsReachEveryConnectedPc();

private:
    Database &db() { return f->store.db(); }
    // name=address of every quick address, in table order.
    QStringList quick()
    {
        QStringList rows;
        for (const QuickAddress &a : QuickAddressTable(db()).all())
            rows << a.name + u'=' + a.address;
        return rows;
    }
    std::unique_ptr<LinkFixture> f;
};

void WebListsTest::addressCheck_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("refusal"); // empty: accepted

    QTest::newRow("any letter case") << u"新浪"_s << u"hTtP://x"_s << QString();
    QTest::newRow("capitals") << u"新浪"_s << u"HTTP://www.sina.com.cn"_s << QString();
    QTest::newRow("https is not http://") << u"新浪"_s << u"https://x"_s << u"网址错误！"_s;
    QTest::newRow("no scheme") << u"新浪"_s << u"www.sina.com.cn"_s << u"网址错误！"_s;
    QTest::newRow("short") << u"新浪"_s << u"http:/"_s << u"网址错误！"_s;
    QTest::newRow("empty name") << QString() << u"http://x"_s << u"网站名称不能为空！"_s;
}

void WebListsTest::addressCheck()
{
    QFETCH(QString, name);
    QFETCH(QString, address);
    QFETCH(QString, refusal);

    QVERIFY(addQuickAddress(db(), u"old"_s, u"http://old"_s));
    const qint64 old = QuickAddressTable(db()).all().first().rowid;
    const Result<QuickAddressEdit> changed = changeQuickAddress(db(), old, name, address);
    const Result<QuickAddressEdit> added = addQuickAddress(db(), name, address);
    if (refusal.isEmpty()) {
        QVERIFY(changed && !changed->nameTaken);
        QVERIFY(added && added->nameTaken); // the change took the name
        QCOMPARE(quick(), QStringList({name + u'=' + address}));
    } else {
        QCOMPARE(added.error(), refusal);
        QCOMPARE(changed.error(), refusal);
        QCOMPARE(quick(), QStringList{u"old=http://old"_s});
    }
}

void WebListsTest::sameNameAsksBeforeOverwriting_data()
{
    QTest::addColumn<bool>("rename"); // through "更改" of the second entry, else "添加"
    QTest::addColumn<bool>("replace");
    QTest::addColumn<QStringList>("after");

    const QStringList before{u"A=http://a"_s, u"B=http://b"_s};
    QTest::newRow("add, No") << false << false << before;
    QTest::newRow("add, Yes") << false << true << QStringList{u"A=http://new"_s, u"B=http://b"_s};
    QTest::newRow("rename, No") << true << false << before;
    QTest::newRow("rename, Yes: one A left") << true << true << QStringList{u"A=http://new"_s};
}

void WebListsTest::sameNameAsksBeforeOverwriting()
{
    QFETCH(bool, rename);
    QFETCH(bool, replace);
    QFETCH(QStringList, after);

    QVERIFY(addQuickAddress(db(), u"A"_s, u"http://a"_s));
    const Result<QuickAddressEdit> b = addQuickAddress(db(), u"B"_s, u"http://b"_s);
    QVERIFY(b && !b->nameTaken);
    const qint64 a = QuickAddressTable(db()).byName(u"A"_s)->rowid;

    const auto edit = [&](bool replaceSameName) {
        return rename ? changeQuickAddress(db(), b->rowid, u"A"_s, u"http://new"_s, replaceSameName)
                      : addQuickAddress(db(), u"A"_s, u"http://new"_s, replaceSameName);
    };
    // First the question: which row has the name; nothing written.
    const Result<QuickAddressEdit> asked = edit(false);
    QVERIFY(asked && asked->nameTaken);
    QCOMPARE(asked->rowid, a);
    QCOMPARE(quick(), (QStringList{u"A=http://a"_s, u"B=http://b"_s}));
    if (replace)
        QVERIFY(edit(true) && !edit(true)->nameTaken);
    QCOMPARE(quick(), after);
}

void WebListsTest::emptyFragmentRefused()
{
    for (const QString &empty : {QString(), u"  "_s})
        QVERIFY(!addRestrictedSite(db(), empty));
    QVERIFY(RestrictedSiteTable(db()).all().isEmpty());
    const Result<qint64> added = addRestrictedSite(db(), u"sex"_s);
    QVERIFY(added);
    QVERIFY(removeRestrictedSite(db(), *added));
    QVERIFY(RestrictedSiteTable(db()).all().isEmpty());
}

void WebListsTest::editedListsReachEveryConnectedPc()
{
    auto one = f->connect(u"127.0.0.2"_s);
    auto two = f->connect(u"127.0.0.3"_s);
    auto gone = f->connect(u"127.0.0.4"_s);
    gone->close();
    QVERIFY(QTest::qWaitFor([&] { return f->server->connectionCount() == 2; }));

    const Result<QuickAddressEdit> added = addQuickAddress(db(), u"新浪"_s, u"HTTP://www.sina.com.cn"_s);
    QVERIFY(added);
    QVERIFY(addRestrictedSite(db(), u"game"_s));
    f->server->pushQuickHttp();
    f->server->pushHickHttp();
    QVERIFY(removeQuickAddress(db(), added->rowid));
    f->server->pushQuickHttp();
    for (TestClient *c : {one.get(), two.get()}) {
        QVERIFY(c->waitFor(3));
        QCOMPARE(c->take(), bin("_http\0") + cp(u"新浪"_s) + bin("\0HTTP://www.sina.com.cn\0\0OK$"));
        QCOMPARE(c->take(), bin("_hick\0game\0\0OK$"));
        QCOMPARE(c->take(), bin("_http\0\0OK$"));
    }
}

QTEST_GUILESS_MAIN(WebListsTest)
#include "weblists_test.moc"
