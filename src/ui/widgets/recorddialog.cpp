#include "recorddialog.h"

#include "messages.h"
#include "recordlayout.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <algorithm>

struct RecordDialog::Private
{
    Mode mode = Mode::Browsing;
    Abandon abandon = Abandon::EachButton;
    SaveFrom saveFrom = SaveFrom::FirstEdit;
    bool readOnly = false;
    // Filling the list moves its selection; the frame is filled once at the end.
    bool loading = false;
    QList<int> rightAligned;
    QString addCaption;
    QString modifyCaption;

    QTreeWidget *list = nullptr;
    QWidget *frame = nullptr;
    QPushButton *add = nullptr;
    QPushButton *modify = nullptr;
    QPushButton *remove = nullptr;
    QPushButton *save = nullptr;
};

RecordDialog::RecordDialog(QWidget *parent) : QDialog(parent), d(std::make_unique<Private>()) {}

RecordDialog::~RecordDialog() = default;

void RecordDialog::attach(QTreeWidget *list, QWidget *frame, QPushButton *add, QPushButton *modify,
                          QPushButton *remove, QPushButton *save, Abandon abandon, SaveFrom saveFrom)
{
    d->list = list;
    d->frame = frame;
    d->add = add;
    d->modify = modify;
    d->remove = remove;
    d->save = save;
    d->abandon = abandon;
    d->saveFrom = saveFrom;
    d->addCaption = add->text();
    d->modifyCaption = modify->text();

    connect(list, &QTreeWidget::currentItemChanged, this, [this] {
        if (!d->loading)
            showRow(currentRow());
    });
    connect(add, &QPushButton::clicked, this, &RecordDialog::addOrAbandon);
    connect(modify, &QPushButton::clicked, this, &RecordDialog::modifyOrAbandon);
    connect(remove, &QPushButton::clicked, this, [this] {
        if (d->mode == Mode::Browsing && currentRow() >= 0)
            removeRecord(currentRow());
    });
    connect(save, &QPushButton::clicked, this, [this] {
        const int row = currentRow();
        if (d->mode == Mode::Adding || (d->mode == Mode::Modifying && row >= 0))
            saveRecord(d->mode == Mode::Adding, row);
    });
}

void RecordDialog::setReadOnly(bool readOnly)
{
    d->readOnly = readOnly;
}

void RecordDialog::setRightAligned(const QList<int> &columns)
{
    d->rightAligned = columns;
}

void RecordDialog::watch(const QList<QLineEdit *> &edits)
{
    for (QLineEdit *e : edits)
        connect(e, &QLineEdit::textEdited, this, &RecordDialog::edited);
}

void RecordDialog::reload(int row)
{
    d->loading = true;
    const QList<QStringList> rows = loadRows();
    d->list->clear();
    for (const QStringList &texts : rows) {
        auto *item = new QTreeWidgetItem(d->list, texts);
        for (int c : std::as_const(d->rightAligned))
            item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    }
    if (!rows.isEmpty())
        d->list->setCurrentItem(d->list->topLevelItem(std::clamp(row, 0, int(rows.size()) - 1)));
    d->loading = false;
    showRow(currentRow());
    setMode(d->mode);
}

void RecordDialog::leaveEditing(int row)
{
    d->mode = Mode::Browsing;
    reload(row);
}

void RecordDialog::edited()
{
    if (d->mode != Mode::Browsing && !d->readOnly)
        d->save->setEnabled(true);
}

void RecordDialog::fail(const QString &text)
{
    Messages::tell(this, QStringLiteral("错误"), text, QMessageBox::Critical);
}

RecordDialog::Mode RecordDialog::mode() const
{
    return d->mode;
}

int RecordDialog::currentRow() const
{
    return d->list->currentItem() ? d->list->indexOfTopLevelItem(d->list->currentItem()) : -1;
}

void RecordDialog::setMode(Mode mode)
{
    d->mode = mode;
    const bool browsing = mode == Mode::Browsing;
    const bool adding = mode == Mode::Adding;
    const bool modifying = mode == Mode::Modifying;
    const bool each = d->abandon == Abandon::EachButton;
    const bool any = d->list->topLevelItemCount() > 0;
    const bool may = !d->readOnly;
    if (browsing)
        RecordLayout::showInstead(d->list, d->frame);
    else
        RecordLayout::showInstead(d->frame, d->list);
    d->add->setText(adding && each ? QStringLiteral("放弃添加") : d->addCaption);
    const bool modifyAbandons = modifying || (adding && !each);
    d->modify->setText(!modifyAbandons ? d->modifyCaption
                                       : (each ? QStringLiteral("放弃修改") : QStringLiteral("放弃")));
    d->add->setEnabled(may && (browsing || (adding && each)));
    d->modify->setEnabled(may && ((browsing && any) || modifyAbandons));
    // The row being edited must not vanish under the save.
    d->remove->setEnabled(may && browsing && any);
    d->save->setEnabled(may && ((d->saveFrom == SaveFrom::EditStart && !browsing) ||
                                (d->saveFrom == SaveFrom::AddingStart && adding)));
    modeChanged(mode);
}

void RecordDialog::addOrAbandon()
{
    if (d->mode == Mode::Adding) {
        abandon();
    } else if (d->mode == Mode::Browsing && prepareAdding()) {
        setMode(Mode::Adding);
        firstField()->setFocus();
    }
}

void RecordDialog::modifyOrAbandon()
{
    if (d->mode != Mode::Browsing) {
        abandon();
        return;
    }
    const int row = currentRow();
    if (row < 0)
        return;
    showRow(row);
    setMode(Mode::Modifying);
    firstField()->setFocus();
}

void RecordDialog::abandon()
{
    setMode(Mode::Browsing);
    showRow(currentRow());
}
