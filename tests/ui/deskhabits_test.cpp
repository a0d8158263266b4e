#include "support/uitest.h"
#include "ui/shell/application.h"
#include "ui/widgets/fontcolordialog.h"
#include "ui/widgets/listdisplay.h"
#include "ui/shell/logindialog.h"
#include "ui/widgets/messages.h"
#include "ui/reports/printwindow.h"
#include "ui/reports/reportoutput.h"

#include <QApplication>
#include <QFile>
#include <QDir>
#include <QFileDialog>
#include <QFontDialog>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

namespace {
const QDateTime kNow(QDate(2026, 12, 7), QTime(14, 5));
} // namespace

// What a new operator meets at the desk: masks, fonts, names, dialogs and printing.
class DeskHabitsTest final : public UiTest
{
    Q_OBJECT

public:
    DeskHabitsTest() : UiTest(kNow) {}

private slots:
    void initTestCase() { setUpApplication(*qApp); }

    void passwordsAreMaskedWithStars()
    {
        QLineEdit edit;
        edit.setEchoMode(QLineEdit::Password);
        edit.setText(u"abc"_qs);
        QCOMPARE(edit.displayText(), u"***"_qs);
    }

    // "宋体" is no installed family: the chooser opens on the one that shows it, and hands the
    // stored name back when the operator keeps it.
    void fontDialogOpensOnTheListsFont()
    {
        QFont listFont(u"宋体"_qs);
        listFont.setPointSize(12);
        FontColorDialog dialog(listFont, Qt::red);
        const QFont shown = child<QFontDialog>(dialog, "fontChooser")->currentFont();
        QCOMPARE(shown.family(), QFontInfo(listFont).family());
        QCOMPARE(shown.pointSize(), 12);
        QCOMPARE(dialog.selectedFont().family(), u"宋体"_qs);
    }

    // A long machine name in the small-icon view stays inside its cell of the grid.
    void longNameStaysInItsCell()
    {
        QStandardItemModel model;
        model.appendRow(new QStandardItem(u"收银台旁边靠窗的那台计算机名字很长很长很长"_qs));
        QListView view;
        view.setModel(&model);
        view.setViewMode(QListView::ListMode);
        view.setGridSize(QSize(110, 22));
        IconCellDelegate delegate;
        QStyleOptionViewItem option;
        option.initFrom(&view);
        option.widget = &view;
        option.state = QStyle::State_Enabled;
        option.rect = QRect(0, 0, 400, 22); // as wide as the name wants
        option.font = view.font();
        QImage image(400, 22, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            delegate.paint(&painter, option, model.index(0, 0));
        }
        auto inked = [&](int fromX, int toX) {
            for (int x = fromX; x < toX; ++x)
                for (int y = 0; y < image.height(); ++y)
                    if (image.pixel(x, y) != QColor(Qt::white).rgb())
                        return true;
            return false;
        };
        QVERIFY(inked(0, 110));    // the name is there
        QVERIFY(!inked(110, 400)); // and not under the neighbour
    }

    // Qt's file dialog with its texts in Chinese and sizes and dates whole.
    void fileDialogSpeaksChinese()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath(u"20261207.bak"_qs));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(32 * 1024, 'x'));
        file.close();
        QVERIFY(QDir(dir.path()).mkdir(u"backup"_qs));
        Messages::setScripted(false);
        QStringList seen;
        QString folderType;
        QTimer::singleShot(0, this, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QVERIFY(QTest::qWaitFor([&] {
                auto *view = dialog->findChild<QTreeView *>(u"treeView"_qs);
                return view && view->model()->rowCount(view->rootIndex()) == 2;
            }));
            auto *view = dialog->findChild<QTreeView *>(u"treeView"_qs);
            // The folder and the file, in whatever order the view sorts them.
            const int folderRow = view->model()->index(0, 0, view->rootIndex()).data().toString() == u"backup"_qs ? 0 : 1;
            folderType = view->model()->index(folderRow, 2, view->rootIndex()).data().toString();
            const QModelIndex row = view->model()->index(1 - folderRow, 0, view->rootIndex());
            for (int c = 0; c < 4; ++c)
                seen << row.siblingAtColumn(c).data().toString();
            seen << dialog->findChild<QLabel *>(u"fileNameLabel"_qs)->text();
            // Every column shows its text whole.
            for (int c = 1; c < 4; ++c) {
                const QString text = row.siblingAtColumn(c).data().toString();
                QVERIFY2(view->columnWidth(c) >= view->fontMetrics().horizontalAdvance(text),
                         qPrintable(text));
            }
            dialog->reject();
        });
        Messages::openFileName(nullptr, dir.path(), u"备份文件 (*.bak)"_qs);
        QCOMPARE(seen.size(), 5);
        QCOMPARE(seen.at(1), QLocale(QLocale::Chinese, QLocale::China).formattedDataSize(32 * 1024));
        QCOMPARE(seen.at(3), QFileInfo(file).lastModified().toString(u"yyyy-MM-dd HH:mm"_qs));
        QVERIFY2(seen.at(2).contains(u"文件"_qs), qPrintable(seen.at(2)));
        QVERIFY2(seen.at(4).contains(u"文件名"_qs), qPrintable(seen.at(4)));
        QCOMPARE(folderType, u"文件夹"_qs);
    }

    void printWithoutAPrinterOffersAPdf_data()
    {
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::newRow("saved as PDF") << QMessageBox::Yes;
        QTest::newRow("declined") << QMessageBox::No;
    }
    void printWithoutAPrinterOffersAPdf()
    {
        QFETCH(QMessageBox::StandardButton, answer);
        if (!QPrinterInfo::availablePrinterNames().isEmpty())
            QSKIP("this PC has a printer");
        QTemporaryDir dir;
        const QString pdf = dir.filePath(u"收入统计表.pdf"_qs);
        PrintWindow window({{u"总收入 ： 1.5元\n"_qs, 9}}, {}, u"收入统计表"_qs);
        QSignalSpy ended(&window, &PrintWindow::outputFinished);
        Messages::setNextAnswers({answer});
        if (answer == QMessageBox::Yes)
            ReportOutput::setNextSaveFileName(pdf);
        click(window, "cmdPrint");
        QCOMPARE(Messages::takeShownTexts(), QStringList{u"没有可用的打印机，是否另存为PDF文件？"_qs});
        if (answer == QMessageBox::Yes)
            QVERIFY(ended.wait(10000));
        QCOMPARE(QFile::exists(pdf), answer == QMessageBox::Yes);
    }
};

QTEST_MAIN(DeskHabitsTest)
#include "deskhabits_test.moc"
