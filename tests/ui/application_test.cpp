#include "desk/frontdesk.h"
#include "support/teststore.h"
#include "support/uitest.h"
#include "ui/shell/application.h"
#include "ui/shell/helpabout.h"
#include "ui/widgets/messages.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {
const QDateTime kNow(QDate(2024, 5, 1), QTime(12, 0));
}

class ApplicationTest : public UiTest
{
    Q_OBJECT

public:
    ApplicationTest() : UiTest(kNow) {}

private slots:
    void standardButtonsSpeakChinese()
    {
        QVERIFY(loadChineseTranslations(*qApp));
        QMessageBox box(QMessageBox::Question, QStringLiteral("问题"), QStringLiteral("?"),
                        QMessageBox::Yes | QMessageBox::No);
        QVERIFY(box.button(QMessageBox::Yes)->text().startsWith(QStringLiteral("是")));
        QVERIFY(box.button(QMessageBox::No)->text().startsWith(QStringLiteral("否")));
        QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        QCOMPARE(buttons.button(QDialogButtonBox::Ok)->text(), QStringLiteral("确定"));
        QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("取消"));
    }

    void captionsGetNothingAppended()
    {
        setUpApplication(*qApp);
        // A display name set explicitly would be appended to every window's caption; unset,
        // it follows the application name.
        const QString name = QCoreApplication::applicationName();
        QCoreApplication::setApplicationName(QStringLiteral("probe"));
        const QString display = QGuiApplication::applicationDisplayName();
        QCoreApplication::setApplicationName(name);
        QCOMPARE(display, QStringLiteral("probe"));
    }

    void helpOpensThePageOrNamesTheMissingFile()
    {
        QTemporaryDir dir;
        const QString page = dir.filePath(QStringLiteral("help.html"));
        QUrl opened;
        const auto open = [&opened](const QUrl &url) {
            opened = url;
            return true;
        };
        QVERIFY(!openHelp(nullptr, page, open));
        QVERIFY(opened.isEmpty());
        QVERIFY(Messages::takeShownTexts().join(QString()).contains(QDir::toNativeSeparators(page)));

        QFile file(page);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<html></html>");
        file.close();
        QVERIFY(openHelp(nullptr, page, open));
        QCOMPARE(opened, QUrl::fromLocalFile(page));
        QVERIFY(Messages::takeShownTexts().isEmpty());

        // No handler for it: said, with the file's name.
        QVERIFY(!openHelp(nullptr, page, [](const QUrl &) { return false; }));
        QVERIFY(Messages::takeShownTexts().join(QString()).contains(QDir::toNativeSeparators(page)));
    }

    void aboutShowsTitleVersionAndClosesWithItsButton()
    {
        QCoreApplication::setApplicationVersion(QStringLiteral("1.2.3"));
        AboutDialog about;
        QVERIFY(about.findChild<QLabel *>(QStringLiteral("lblTitle"))
                    ->text()
                    .contains(QStringLiteral("Corvana")));
        QVERIFY(about.findChild<QLabel *>(QStringLiteral("lblVersion"))
                    ->text()
                    .contains(QStringLiteral("1.2.3")));
        QPushButton *ok = about.findChild<QPushButton *>(QStringLiteral("cmdOK"));
        QCOMPARE(ok->text(), QStringLiteral("确   定"));
        about.show();
        ok->click();
        QVERIFY(!about.isVisible());
        QCOMPARE(about.result(), int(QDialog::Accepted));
    }

    // A store that went missing beside backups is not replaced unasked by an empty one that
    // nobody logs in to; without backups a first start creates it as always.
    void aMissingStoreBesideBackupsIsCreatedOnlyWhenSaidSo_data()
    {
        QTest::addColumn<int>("backups");
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::addColumn<bool>("opened");
        QTest::newRow("no backups: created") << 0 << QMessageBox::NoButton << true;
        QTest::newRow("two backups, No: ends") << 2 << QMessageBox::No << false;
        QTest::newRow("two backups, Yes: created") << 2 << QMessageBox::Yes << true;
    }
    void aMissingStoreBesideBackupsIsCreatedOnlyWhenSaidSo()
    {
        QFETCH(int, backups);
        QFETCH(QMessageBox::StandardButton, answer);
        QFETCH(bool, opened);
        QTemporaryDir dir;
        QDir(dir.path()).mkpath(QStringLiteral("backup"));
        for (int i = 0; i < backups; ++i) {
            QFile f(dir.filePath(QStringLiteral("backup/2024043%1.bak").arg(i)));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        if (answer != QMessageBox::NoButton)
            Messages::setNextAnswers({answer});
        FrontDesk desk;
        QCOMPARE(openStoreOrExplain(desk, dir.path()), opened);
        const QString path = dir.filePath(QStringLiteral("dbase.mdb"));
        QCOMPARE(QFile::exists(path), opened);
        const QStringList shown = Messages::takeShownTexts();
        if (backups == 0)
            QVERIFY(shown.isEmpty());
        else
            QCOMPARE(shown, QStringList{QStringLiteral(
                                            "没有找到数据库文件“%1”，backup中有2个备份。是否新建空数据库？")
                                            .arg(QDir::toNativeSeparators(path))});
    }

    void aFolderThatCannotBeWrittenIsNamedAnotherCopyEndsSilently()
    {
        QTemporaryDir dir;
        // A folder that cannot hold files (its parent is a file): the lock cannot be made.
        QFile plain(dir.filePath(QStringLiteral("plain")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        const QString folder = dir.filePath(QStringLiteral("plain/corvana"));
        QVERIFY(!singleInstanceLock(folder));
        const QStringList shown = Messages::takeShownTexts();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.first().contains(QDir::toNativeSeparators(folder)) &&
                     shown.first().contains(QStringLiteral("文件夹不存在")),
                 qPrintable(shown.first()));

        const auto first = singleInstanceLock(dir.path());
        QVERIFY(first);
        QVERIFY(!singleInstanceLock(dir.path()));
        QVERIFY(Messages::takeShownTexts().isEmpty());
    }

    // After a restore of a store that has operators, cancelling the login leaves nobody with
    // a right: the super-operator of an empty store does not carry over.
    void cancellingTheLoginAfterARestoreLeavesNoRight()
    {
        TestStore t;
        t.addOperator(QStringLiteral("张三"), QStringLiteral("1"), QStringLiteral("A"));
        FrontDesk desk;
        QVERIFY(desk.open(t.path()));
        desk.setOperator(QString(), QStringLiteral("D"));
        bool asked = false;
        QTimer::singleShot(0, [&] {
            if (QWidget *login = QApplication::activeModalWidget()) {
                asked = true;
                QTest::keyClick(login, Qt::Key_Escape);
            }
        });
        QVERIFY(!logInAfterRestore(desk));
        QVERIFY(asked);
        QVERIFY(desk.operatorRight().isEmpty());
        QVERIFY(desk.operatorName().isEmpty());
    }
};

QTEST_MAIN(ApplicationTest)
#include "application_test.moc"
