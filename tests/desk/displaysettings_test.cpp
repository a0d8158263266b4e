#include "accounts/displaysettings.h"
#include "store/accounttables.h"
#include "store/database.h"
#include "support/teststore.h"

#include <QTest>

namespace {

// Two operators; "boss" has a picture, blue text on yellow, 12 pt bold "黑体".
struct Fixture
{
    Fixture()
    {
        Operator boss;
        boss.name = QStringLiteral("boss");
        boss.password = QStringLiteral("$y$hash");
        boss.right = QStringLiteral("D");
        boss.fontName = QStringLiteral("黑体");
        boss.fontSize = 12;
        boss.textColor = 0xff0000; // blue
        boss.bold = true;
        boss.background = QStringLiteral("/pics/wall.jpg");
        boss.backgroundColor = 0x00ffff; // yellow
        Operator clerk;
        clerk.name = QStringLiteral("clerk");
        clerk.right = QStringLiteral("A");
        OperatorTable table(store.db());
        if (!table.add(boss) || !table.add(clerk))
            qFatal("cannot add operators");
    }
    QStringList rows() { return tableRows(store.db(), QStringLiteral("yhszb")); }

    TestStore store;
};

} // namespace

class DisplaySettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void colourNumbers_data()
    {
        QTest::addColumn<qint64>("number");
        QTest::addColumn<bool>("system");
        QTest::addColumn<int>("red");
        QTest::addColumn<int>("green");
        QTest::addColumn<int>("blue");
        QTest::newRow("black") << qint64(0) << false << 0 << 0 << 0;
        QTest::newRow("red is the low byte") << qint64(0x0000ff) << false << 255 << 0 << 0;
        QTest::newRow("blue is the high byte") << qint64(0xff0000) << false << 0 << 0 << 255;
        QTest::newRow("mixed") << qint64(0x123456) << false << 0x56 << 0x34 << 0x12;
        QTest::newRow("window background") << DisplaySettings::kSystemWindowColor << true << 0 << 0 << 0;
    }
    void colourNumbers()
    {
        QFETCH(qint64, number);
        QFETCH(bool, system);
        QFETCH(int, red);
        QFETCH(int, green);
        QFETCH(int, blue);
        QCOMPARE(display::isSystemColor(number), system);
        const std::optional<display::Rgb> c = display::rgb(number);
        QCOMPARE(c.has_value(), !system);
        if (!c)
            return;
        QCOMPARE(c->red, red);
        QCOMPARE(c->green, green);
        QCOMPARE(c->blue, blue);
        QCOMPARE(display::colorNumber(c->red, c->green, c->blue), number);
    }

    void loadReadsTheOperatorsRow()
    {
        Fixture f;
        const std::optional<DisplaySettings> s = display::load(f.store.db(), QStringLiteral("boss"));
        QVERIFY(s);
        QCOMPARE(s->fontName, QStringLiteral("黑体"));
        QCOMPARE(s->fontSize, 12.0);
        QCOMPARE(s->textColor, qint64(0xff0000));
        QVERIFY(s->bold);
        QVERIFY(!s->italic);
        QCOMPARE(s->background, QStringLiteral("/pics/wall.jpg"));
        QCOMPARE(s->backgroundColor, qint64(0x00ffff));
        QVERIFY(!display::load(f.store.db(), QStringLiteral("boss ")));
    }

    void anyNonZeroFlagReadsAsTrue()
    {
        Fixture f;
        // Rows written by older programs hold -1 for true.
        QVERIFY(f.store.db().exec(QStringLiteral(R"(UPDATE yhszb SET "粗体" = -1, "斜体" = 7)")));
        const std::optional<DisplaySettings> s = display::load(f.store.db(), QStringLiteral("clerk"));
        QVERIFY(s && s->bold && s->italic);
    }

    void equalColoursAreShownReadableButNotStored()
    {
        Fixture f;
        QVERIFY(f.store.db().exec(QStringLiteral(
            R"(UPDATE yhszb SET "字体颜色" = 255, "背景颜色" = 255 WHERE "用户名称" = 'boss')")));
        const QStringList before = f.rows();
        const std::optional<DisplaySettings> s = display::load(f.store.db(), QStringLiteral("boss"));
        QVERIFY(s);
        QCOMPARE(s->textColor, qint64(0));
        QCOMPARE(s->backgroundColor, DisplaySettings::kSystemWindowColor);
        QCOMPARE(s->fontName, QStringLiteral("黑体")); // the rest stays
        QCOMPARE(f.rows(), before);
    }

    void restoreDefaultsWritesEveryDisplayFieldOnly()
    {
        Fixture f;
        QVERIFY(display::restoreDefaults(f.store.db(), QStringLiteral("boss")));
        const std::optional<Operator> boss = OperatorTable(f.store.db()).byName(QStringLiteral("boss"));
        QVERIFY(boss);
        QCOMPARE(boss->fontName, QStringLiteral("宋体"));
        QCOMPARE(boss->fontSize, 9.0);
        QCOMPARE(boss->textColor, qint64(0));
        QVERIFY(!boss->bold && !boss->italic);
        QCOMPARE(boss->background, QString());
        QCOMPARE(boss->backgroundColor, DisplaySettings::kSystemWindowColor);
        QCOMPARE(boss->password, QStringLiteral("$y$hash"));
        QCOMPARE(boss->right, QStringLiteral("D"));
        QCOMPARE(display::load(f.store.db(), QStringLiteral("boss")), DisplaySettings());
    }

    void eachCommandWritesItsOwnFields()
    {
        Fixture f;
        DisplaySettings font;
        font.fontName = QStringLiteral("楷体");
        font.fontSize = 14;
        font.textColor = 0x0000ff;
        font.italic = true;
        font.background = QStringLiteral("ignored by the font command");
        QVERIFY(display::storeFont(f.store.db(), QStringLiteral("clerk"), font));
        QVERIFY(
            display::storeBackground(f.store.db(), QStringLiteral("clerk"), QStringLiteral("/pics/a.bmp")));
        QVERIFY(display::storeBackgroundColor(f.store.db(), QStringLiteral("clerk"), 0x00ff00));
        const std::optional<DisplaySettings> s = display::load(f.store.db(), QStringLiteral("clerk"));
        QVERIFY(s);
        QCOMPARE(s->fontName, QStringLiteral("楷体"));
        QCOMPARE(s->fontSize, 14.0);
        QCOMPARE(s->textColor, qint64(0x0000ff));
        QVERIFY(s->italic && !s->bold);
        QCOMPARE(s->background, QStringLiteral("/pics/a.bmp"));
        QCOMPARE(s->backgroundColor, qint64(0x00ff00));
        // The other operator's row is untouched.
        QCOMPARE(display::load(f.store.db(), QStringLiteral("boss"))->fontName, QStringLiteral("黑体"));
    }

    void onlyTheFirstRowOfANameIsWritten()
    {
        Fixture f;
        Operator twin;
        twin.name = QStringLiteral("boss");
        twin.right = QStringLiteral("A");
        QVERIFY(OperatorTable(f.store.db()).add(twin));
        QVERIFY(display::storeBackground(f.store.db(), QStringLiteral("boss"), QStringLiteral("/x.gif")));
        const QList<Operator> named = OperatorTable(f.store.db()).named(QStringLiteral("boss"));
        QCOMPARE(named.size(), 2);
        QCOMPARE(named.at(0).background, QStringLiteral("/x.gif"));
        QCOMPARE(named.at(1).background, QString());
    }

    void withoutAnOperatorRowNothingIsStored()
    {
        Fixture f;
        const QStringList before = f.rows();
        QVERIFY(!display::restoreDefaults(f.store.db(), QString()));
        QVERIFY(!display::storeFont(f.store.db(), QStringLiteral("nobody"), DisplaySettings()));
        QVERIFY(!display::storeBackground(f.store.db(), QStringLiteral("nobody"), QStringLiteral("/a.bmp")));
        QVERIFY(!display::storeBackgroundColor(f.store.db(), QStringLiteral("nobody"), 5));
        QCOMPARE(f.rows(), before);
    }
};

QTEST_GUILESS_MAIN(DisplaySettingsTest)
#include "displaysettings_test.moc"
