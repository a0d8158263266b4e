#include "reports/machinetimereport.h"
#include "support/testdesk.h"
#include "support/uitest.h"
#include "ui/manage/carddialog.h"
#include "ui/billing/changemachinedialog.h"
#include "ui/manage/customerdialog.h"
#include "ui/widgets/fontcolordialog.h"
#include "ui/manage/goodsdialog.h"
#include "ui/shell/helpabout.h"
#include "ui/shell/logindialog.h"
#include "ui/manage/machinesdialog.h"
#include "ui/shell/mainwindow.h"
#include "ui/widgets/messages.h"
#include "ui/manage/operatordialog.h"
#include "ui/reports/printwindow.h"
#include "ui/billing/purchasedialog.h"
#include "ui/reports/reportdialog.h"
#include "ui/reports/reportwindow.h"
#include "ui/billing/sessionstartdialog.h"
#include "ui/manage/settingsdialog.h"
#include "ui/reports/trailwindow.h"
#include "ui/manage/weblistdialogs.h"
#include "ui/widgets/windowfit.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

namespace {

const QDateTime kNow(QDate(2026, 12, 7), QTime(14, 5));
const QSize kScreen(1024, 768);
// A desktop's panel takes this much of the screen's height.
constexpr int kPanel = 40;

// A café with a little of everything, for windows to show.
struct Fixture
{
    Fixture()
    {
        for (int i = 1; i <= 3; ++i)
            t.store.addMachine(i);
        t.store.addArticle(u"00000001"_qs, u"可乐"_qs, 3);
        t.store.addCustomer(u"00000001"_qs, u"甲"_qs);
        t.store.addOperator(u"admin"_qs, u"1"_qs, u"D"_qs);
        t.open();
        t.desk.setOperator(u"admin"_qs, u"D"_qs);
    }
    TestDesk t;
};

using Factory = std::function<QWidget *(Fixture &)>;

// The wanted width of a title bar: the title in a bold font a point larger than the text's,
// and room for the window's icon and its three buttons, each about a title bar high.
int titleBarWidth(const QString &title)
{
    QFont font = QApplication::font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() + 1);
    return QFontMetrics(font).horizontalAdvance(title) + 4 * 28;
}

} // namespace

Q_DECLARE_METATYPE(Factory)

class WindowFitTest final : public UiTest
{
    Q_OBJECT

public:
    WindowFitTest() : UiTest(kNow) {}

private slots:
    void initTestCase() { QCOMPARE(QGuiApplication::primaryScreen()->size(), kScreen); }

    void everyWindowFitsTheScreen_data()
    {
        QTest::addColumn<Factory>("open");
        auto row = [](const char *name, Factory f) { QTest::newRow(name) << f; };
        row("main window", [](Fixture &f) { return new MainWindow(f.t.desk); });
        row("goods", [](Fixture &f) { return new GoodsDialog(f.t.desk.goods()); });
        row("customers", [](Fixture &f) { return new CustomerDialog(f.t.desk.accounts()); });
        row("cards", [](Fixture &f) { return new CardDialog(f.t.desk.accounts()); });
        row("machines", [](Fixture &f) { return new MachinesDialog(f.t.desk.machines()); });
        row("operators", [](Fixture &f) { return new OperatorDialog(f.t.desk.accounts(), u"admin"_qs); });
        row("settings", [](Fixture &f) { return new SettingsDialog(f.t.desk.settings()); });
        row("session start",
            [](Fixture &f) { return new SessionStartDialog(f.t.desk, SessionStartDialog::Mode::Start); });
        row("change machine", [](Fixture &f) { return new ChangeMachineDialog(f.t.desk); });
        row("purchase", [](Fixture &f) { return new PurchaseDialog(f.t.desk); });
        row("login", [](Fixture &f) { return new LoginDialog(f.t.desk.logins()); });
        row("quick addresses", [](Fixture &f) { return new QuickAddressDialog(f.t.desk.webLists()); });
        row("restricted sites", [](Fixture &f) { return new RestrictedSitesDialog(f.t.desk.webLists()); });
        row("report dialog", [](Fixture &f) {
            return new ReportDialog(f.t.desk.reports(), ReportKind::Income, ReportPreset::Daily);
        });
        row("report", [](Fixture &) {
            MachineTimeReport report;
            for (int i = 1; i <= 60; ++i) {
                JournalRecord r;
                r.id = i;
                r.machine = 1 + i % 3;
                r.start = u"2026-12-07 13:05:00"_qs;
                r.end = u"2026-12-07 14:05:00"_qs;
                r.due = r.received = 3;
                report.add(r);
            }
            report.finish();
            return new ReportWindow(std::move(report), kNow.date(), u"0123456789abcdef"_qs, nullptr,
                                    {u"系统时间被改动：从2026-12-07 14:05:00 到2026-12-07 13:05:00"_qs});
        });
        row("printed report", [](Fixture &) {
            StyledText text;
            for (int i = 0; i < 80; ++i)
                text.append({u"可乐            2.50元     3     7.50元\n"_qs, 9});
            return new PrintWindow(text, {}, u"商品销售统计表"_qs);
        });
        row("trail", [](Fixture &f) { return new TrailWindow(TrailService(f.t.db())); });
        row("about", [](Fixture &) { return new AboutDialog; });
        row("font", [](Fixture &) { return new FontColorDialog(QFont(u"宋体"_qs, 9), Qt::black); });
    }
    void everyWindowFitsTheScreen()
    {
        QFETCH(Factory, open);
        Fixture f;
        const std::unique_ptr<QWidget> window(open(f));
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        // What a window manager adds: a title bar and borders.
        const QSize framed = window->size().grownBy(WindowFit::kFrame);
        QVERIFY2(framed.width() <= kScreen.width() && framed.height() <= kScreen.height() - kPanel,
                 qPrintable(u"%1×%2 with its frame"_qs.arg(framed.width()).arg(framed.height())));
        // Nor can the operator make it so small that it does not fit.
        const QSize least =
            window->minimumSizeHint().expandedTo(window->minimumSize()).grownBy(WindowFit::kFrame);
        QVERIFY(least.width() <= kScreen.width() && least.height() <= kScreen.height());
        // Whatever the title, it has the room a title bar needs.
        QVERIFY2(window->width() >= titleBarWidth(window->windowTitle()), qPrintable(window->windowTitle()));
    }

    void messageBoxTitlesAreWhole_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ask");
        QTest::newRow("program name over a short text") << QString() << u"网址错误！"_qs << false;
        QTest::newRow("notice") << u"提示"_qs << u"备份成功！"_qs << false;
        QTest::newRow("exit question") << u"确实要退出吗？"_qs << u"真的要退出吗？"_qs << true;
        QTest::newRow("long title") << u"储金卡的总金额和总机时必须大于0"_qs << u"好"_qs << false;
    }
    void messageBoxTitlesAreWhole()
    {
        QFETCH(QString, title);
        QFETCH(QString, text);
        QFETCH(bool, ask);
        Messages::setScripted(false);
        QSize measured;
        QString shownTitle;
        QTimer::singleShot(0, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            QVERIFY(QTest::qWaitForWindowExposed(box));
            measured = box->size();
            shownTitle = box->windowTitle();
            box->reject();
        });
        if (ask)
            Messages::ask(nullptr, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        else
            Messages::tell(nullptr, title, text);
        QVERIFY(!shownTitle.isEmpty());
        QVERIFY2(measured.width() >= titleBarWidth(shownTitle),
                 qPrintable(u"%1 px for %2 px"_qs.arg(measured.width()).arg(titleBarWidth(shownTitle))));
    }

    // The dialog opens as large as its edit frame needs, so showing the frame and saving
    // leaves it as it was.
    void recordDialogsDoNotGrowOnASave_data()
    {
        QTest::addColumn<bool>("cards");
        QTest::newRow("客户管理") << false;
        QTest::newRow("储金卡管理") << true;
    }
    void recordDialogsDoNotGrowOnASave()
    {
        QFETCH(bool, cards);
        Fixture f;
        std::unique_ptr<QDialog> dialog;
        if (cards)
            dialog = std::make_unique<CardDialog>(f.t.desk.accounts());
        else
            dialog = std::make_unique<CustomerDialog>(f.t.desk.accounts());
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        const QSize before = dialog->size();
        click(*dialog, "cmdAdd");
        if (cards) {
            retype(*dialog, "txtField1", u"100"_qs);
            retype(*dialog, "txtField2", u"10"_qs);
            retype(*dialog, "txtField3", u"1"_qs);
            auto *owner = child<QComboBox>(*dialog, "cboCustomer");
            owner->setCurrentIndex(0);
            emit owner->activated(0);
        } else {
            retype(*dialog, "txtField1", u"乙"_qs);
        }
        QCoreApplication::processEvents();
        QCOMPARE(dialog->size(), before);
        click(*dialog, "cmdSave");
        QCOMPARE(Messages::takeShownTexts(), QStringList());
        QCoreApplication::processEvents();
        QCOMPARE(dialog->size(), before);
    }
};

// The tests run on a screen of 1024×768, the smallest a counter has.
int main(int argc, char **argv)
{
    QTemporaryDir dir;
    const QString config = dir.filePath(u"screen.json"_qs);
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write(R"({"screens": [{"name": "counter", "x": 0, "y": 0, "width": 1024, "height": 768,
                  "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toLocal8Bit());
    QApplication app(argc, argv);
    WindowFitTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "windowfit_test.moc"
