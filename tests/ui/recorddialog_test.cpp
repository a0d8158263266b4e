#include "support/uitest.h"
#include "ui/widgets/recorddialog.h"
#include "ui/widgets/recordlayout.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// The least a record dialog can be: names in a list, one field to edit them.
class Names final : public RecordDialog
{
public:
    using RecordDialog::Abandon;
    using RecordDialog::SaveFrom;

    Names(const QStringList &names, Abandon abandon, SaveFrom saveFrom, bool readOnly) : names(names)
    {
        QTreeWidget *list = RecordLayout::list(this, u"lstNames"_s, {u"名称"_s});
        auto *frame = new QGroupBox(this);
        field = RecordLayout::textField(frame, u"txtName"_s);
        (new QVBoxLayout(frame))->addWidget(field);
        using RecordLayout::command;
        QPushButton *add = command(this, u"添加"_s, "cmdAdd");
        QPushButton *modify = command(this, u"修改"_s, "cmdModify");
        QPushButton *remove = command(this, u"删除"_s, "cmdDelete");
        QPushButton *save = command(this, u"保存"_s, "cmdSave");
        RecordLayout::arrange(this, list, frame, {add, modify, remove, save}, false);
        attach(list, frame, add, modify, remove, save, abandon, saveFrom);
        setReadOnly(readOnly);
        watch({field});
        reload();
    }

    QStringList names;
    QLineEdit *field;

private:
    QList<QStringList> loadRows() override
    {
        QList<QStringList> rows;
        for (const QString &n : std::as_const(names))
            rows << QStringList{n};
        return rows;
    }
    void showRow(int row) override { field->setText(names.value(row)); }
    bool prepareAdding() override
    {
        field->setText(u"新"_s);
        return true;
    }
    QWidget *firstField() const override { return field; }
    void saveRecord(bool adding, int row) override
    {
        if (adding)
            names << field->text();
        else
            names[row] = field->text();
        leaveEditing(adding ? names.size() - 1 : row);
    }
    void removeRecord(int row) override
    {
        names.removeAt(row);
        reload(row);
    }
};

} // namespace

class RecordDialogTest final : public UiTest
{
    Q_OBJECT

public:
    RecordDialogTest() : UiTest(QDateTime(QDate(2026, 3, 1), QTime(9, 0))) {}

private slots:
    void buttonsFollowTheMode_data()
    {
        QTest::addColumn<int>("abandon");
        QTest::addColumn<int>("saveFrom");
        QTest::addColumn<int>("rows");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QString>("steps"); // buttons clicked; "type" types into the field
        // Which of add, modify, delete, save are enabled, then both captions.
        QTest::addColumn<QString>("expected");

        constexpr int each = int(Names::Abandon::EachButton), one = int(Names::Abandon::ModifyButton);
        constexpr int edit = int(Names::SaveFrom::FirstEdit), adding = int(Names::SaveFrom::AddingStart),
                      start = int(Names::SaveFrom::EditStart);
        const auto row = [](const char *name, int a, int s, int rows, bool readOnly, const QString &steps,
                            const QString &expected) {
            QTest::newRow(name) << a << s << rows << readOnly << steps << expected;
        };
        row("browsing", each, edit, 2, false, u""_s, u"1110 添加 修改"_s);
        row("adding waits for an edit", each, edit, 2, false, u"cmdAdd"_s, u"1000 放弃添加 修改"_s);
        row("adding, edited", each, edit, 2, false, u"cmdAdd type"_s, u"1001 放弃添加 修改"_s);
        row("adding saves at once", each, adding, 2, false, u"cmdAdd"_s, u"1001 放弃添加 修改"_s);
        row("modifying waits for an edit", each, adding, 2, false, u"cmdModify"_s, u"0100 添加 放弃修改"_s);
        row("adding abandoned", each, adding, 2, false, u"cmdAdd cmdAdd"_s, u"1110 添加 修改"_s);
        row("typing while browsing", each, edit, 2, false, u"type"_s, u"1110 添加 修改"_s);
        row("nothing to modify or delete", each, edit, 0, false, u"cmdModify"_s, u"1000 添加 修改"_s);
        row("modify abandons adding", one, start, 2, false, u"cmdAdd"_s, u"0101 添加 放弃"_s);
        row("modify abandons modifying", one, start, 2, false, u"cmdModify"_s, u"0101 添加 放弃"_s);
        row("abandoned", one, start, 2, false, u"cmdAdd cmdModify"_s, u"1110 添加 修改"_s);
        row("last row deleted", one, start, 1, false, u"cmdDelete"_s, u"1000 添加 修改"_s);
        row("read-only", one, start, 2, true, u"cmdAdd cmdModify"_s, u"0000 添加 修改"_s);
    }

    void buttonsFollowTheMode()
    {
        QFETCH(int, abandon);
        QFETCH(int, saveFrom);
        QFETCH(int, rows);
        QFETCH(bool, readOnly);
        QFETCH(QString, steps);
        QFETCH(QString, expected);
        Names dialog(QStringList{u"甲"_s, u"乙"_s}.mid(0, rows), Names::Abandon(abandon),
                     Names::SaveFrom(saveFrom), readOnly);
        dialog.show();
        for (const QString &step : steps.split(u' ', Qt::SkipEmptyParts)) {
            if (step == u"type")
                QTest::keyClicks(dialog.field, u"x"_s);
            else
                click(dialog, step.toUtf8().constData());
        }
        QString shown;
        for (const char *name : {"cmdAdd", "cmdModify", "cmdDelete", "cmdSave"})
            shown += child<QPushButton>(dialog, name)->isEnabled() ? u'1' : u'0';
        shown += u' ' + child<QPushButton>(dialog, "cmdAdd")->text() + u' ' +
                 child<QPushButton>(dialog, "cmdModify")->text();
        QCOMPARE(shown, expected);
    }

    // The frame shows the selected row, also again after an abandoned edit, and a save goes to
    // the row that was selected when the edit began.
    void theFrameFollowsTheSelection()
    {
        Names dialog({u"甲"_s, u"乙"_s, u"丙"_s}, Names::Abandon::EachButton, Names::SaveFrom::FirstEdit,
                     false);
        dialog.show();
        auto *list = child<QTreeWidget>(dialog, "lstNames");
        QCOMPARE(dialog.field->text(), u"甲"_s);
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(dialog.field->text(), u"乙"_s);
        click(dialog, "cmdAdd");
        QCOMPARE(dialog.field->text(), u"新"_s);
        QCOMPARE(dialog.focusWidget(), dialog.field);
        click(dialog, "cmdAdd");
        QCOMPARE(dialog.field->text(), u"乙"_s);
        click(dialog, "cmdModify");
        QTest::keyClicks(dialog.field, u"x"_s);
        click(dialog, "cmdSave");
        QCOMPARE(dialog.names, (QStringList{u"甲"_s, u"乙x"_s, u"丙"_s}));
        QVERIFY(list->isVisible());
        QCOMPARE(list->currentItem()->text(0), u"乙x"_s);
    }
};

QTEST_MAIN(RecordDialogTest)
#include "recorddialog_test.moc"
