#include "support/uitest.h"
#include "ui/application.h"
#include "ui/helpabout.h"
#include "ui/messages.h"

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
};

QTEST_MAIN(ApplicationTest)
#include "application_test.moc"
