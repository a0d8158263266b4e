#include "weblistdialogs.h"

#include "link/weblists.h"
#include "store/webrows.h"
#include "ui/widgets/messages.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QPushButton *button(const char *text, const char *name, QWidget *parent)
{
    auto *b = new QPushButton(QString::fromUtf8(text), parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

// The row of the list's selected entry, -1 without one.
int selectedRow(const QListWidget *list)
{
    const QListWidgetItem *item = list->currentItem();
    return item && item->isSelected() ? list->row(item) : -1;
}

} // namespace

struct QuickAddressDialog::Private
{
    WebListService lists;
    QList<QuickAddress> rows;
    QLineEdit *name = nullptr;
    QLineEdit *address = nullptr;
    QListWidget *list = nullptr;
    QPushButton *add = nullptr;
    QPushButton *remove = nullptr;
    QPushButton *change = nullptr;
};

QuickAddressDialog::QuickAddressDialog(WebListService lists, QWidget *parent)
    : QDialog(parent), d(std::make_unique<Private>(std::move(lists)))
{
    d->name = new QLineEdit(this);
    d->address = new QLineEdit(this);
    d->list = new QListWidget(this);
    d->add = button("添加", "add", this);
    d->remove = button("删除", "remove", this);
    d->change = button("更改", "change", this);
    setObjectName(QStringLiteral("quickAddressDialog"));
    setWindowTitle(QStringLiteral("设置快速网址"));
    d->name->setObjectName(QStringLiteral("siteName"));
    d->address->setObjectName(QStringLiteral("siteAddress"));
    d->address->setPlaceholderText(QStringLiteral("http://"));
    d->address->setMinimumWidth(260);
    d->list->setObjectName(QStringLiteral("siteList"));

    auto *fields = new QFormLayout;
    fields->addRow(QStringLiteral("网站名称："), d->name);
    fields->addRow(QStringLiteral("网站地址："), d->address);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(d->add);
    buttons->addWidget(d->remove);
    buttons->addWidget(d->change);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(d->list);
    layout->addLayout(buttons);
    setTabOrder(d->name, d->address);
    setTabOrder(d->address, d->add);

    connect(d->list, &QListWidget::itemClicked, this, &QuickAddressDialog::entryChosen);
    // Choosing by keyboard shows the entry as a click does.
    connect(d->list, &QListWidget::currentRowChanged, this, &QuickAddressDialog::entryChosen);
    connect(d->list, &QListWidget::itemSelectionChanged, this, &QuickAddressDialog::updateButtons);
    connect(d->name, &QLineEdit::textEdited, this, &QuickAddressDialog::updateButtons);
    connect(d->address, &QLineEdit::textEdited, this, &QuickAddressDialog::updateButtons);
    connect(d->add, &QPushButton::clicked, this, &QuickAddressDialog::add);
    connect(d->remove, &QPushButton::clicked, this, &QuickAddressDialog::remove);
    connect(d->change, &QPushButton::clicked, this, &QuickAddressDialog::change);
    connect(this, &QDialog::finished, this, [this] { d->lists.pushQuickAddresses(); });
    fill();
}

QuickAddressDialog::~QuickAddressDialog() = default;

void QuickAddressDialog::fill(qint64 selectRowid)
{
    d->rows = d->lists.quickAddresses();
    d->list->clear();
    for (const QuickAddress &a : d->rows) {
        d->list->addItem(a.name);
        if (a.rowid == selectRowid)
            d->list->setCurrentRow(d->list->count() - 1);
    }
    updateButtons();
}

void QuickAddressDialog::entryChosen()
{
    const int row = selectedRow(d->list);
    if (row < 0)
        return;
    d->name->setText(d->rows[row].name);
    d->address->setText(d->rows[row].address);
    // Nothing to add or change until the operator edits.
    d->add->setEnabled(false);
    d->change->setEnabled(false);
    d->remove->setEnabled(true);
}

void QuickAddressDialog::updateButtons()
{
    const bool named = !d->name->text().isEmpty();
    d->add->setEnabled(named);
    d->change->setEnabled(named && selectedRow(d->list) >= 0);
    d->remove->setEnabled(selectedRow(d->list) >= 0);
}

void QuickAddressDialog::refuse(const QString &reason)
{
    const bool wrongAddress = !isQuickAddress(d->address->text());
    Messages::tell(this, QString(), reason, QMessageBox::Critical);
    (wrongAddress ? d->address : d->name)->setFocus();
}

void QuickAddressDialog::add()
{
    Result<QuickAddressEdit> done = d->lists.addQuickAddress(d->name->text(), d->address->text(), false);
    if (done && done->nameTaken) {
        if (Messages::ask(this, QString(), QStringLiteral("该网站已经存在了，要将他改成新的吗？"),
                          QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
            return;
        done = d->lists.addQuickAddress(d->name->text(), d->address->text(), true);
    }
    if (!done)
        return refuse(done.error());
    fill(done->rowid);
}

void QuickAddressDialog::remove()
{
    const int row = selectedRow(d->list);
    if (row < 0)
        return;
    const QuickAddress site = d->rows[row];
    if (Messages::ask(this, QString(),
                      QStringLiteral("确实要删除网站：") + site.name + QStringLiteral(" 吗？"),
                      QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel) == QMessageBox::Ok) {
        if (const Result<> removed = d->lists.removeQuickAddress(site.rowid); !removed)
            Messages::tell(this, QString(), removed.error(), QMessageBox::Critical);
    }
    fill();
}

void QuickAddressDialog::change()
{
    const int row = selectedRow(d->list);
    if (row < 0)
        return;
    const qint64 rowid = d->rows[row].rowid;
    Result<QuickAddressEdit> done =
        d->lists.changeQuickAddress(rowid, d->name->text(), d->address->text(), false);
    if (done && done->nameTaken) {
        if (Messages::ask(this, QString(), QStringLiteral("该网站已经存在了，要将他改成新的吗？"),
                          QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
            return;
        done = d->lists.changeQuickAddress(rowid, d->name->text(), d->address->text(), true);
    }
    if (!done)
        return refuse(done.error());
    fill(rowid);
}

struct RestrictedSitesDialog::Private
{
    WebListService lists;
    QList<RestrictedSite> rows;
    QLineEdit *fragment = nullptr;
    QListWidget *list = nullptr;
    QPushButton *add = nullptr;
    QPushButton *remove = nullptr;
};

RestrictedSitesDialog::RestrictedSitesDialog(WebListService lists, QWidget *parent)
    : QDialog(parent), d(std::make_unique<Private>(std::move(lists)))
{
    d->fragment = new QLineEdit(this);
    d->list = new QListWidget(this);
    d->add = button("添加", "add", this);
    d->remove = button("删除", "remove", this);
    setObjectName(QStringLiteral("restrictedSitesDialog"));
    setWindowTitle(QStringLiteral("访问限制"));
    d->fragment->setObjectName(QStringLiteral("fragment"));
    d->list->setObjectName(QStringLiteral("fragmentList"));

    auto *label = new QLabel(QStringLiteral("含有下列内容的网站不可访问："), this);
    label->setBuddy(d->fragment);
    auto *layout = new QGridLayout(this);
    layout->addWidget(label, 0, 0, 1, 2);
    layout->addWidget(d->fragment, 1, 0);
    layout->addWidget(d->add, 1, 1);
    layout->addWidget(d->list, 2, 0);
    auto *side = new QVBoxLayout;
    side->addWidget(d->remove);
    side->addStretch();
    layout->addLayout(side, 2, 1);

    const auto update = [this] {
        d->add->setEnabled(!d->fragment->text().trimmed().isEmpty());
        d->remove->setEnabled(selectedRow(d->list) >= 0);
    };
    connect(d->fragment, &QLineEdit::textChanged, this, update);
    connect(d->list, &QListWidget::itemSelectionChanged, this, update);
    connect(d->fragment, &QLineEdit::returnPressed, this, &RestrictedSitesDialog::add);
    connect(d->add, &QPushButton::clicked, this, &RestrictedSitesDialog::add);
    connect(d->remove, &QPushButton::clicked, this, &RestrictedSitesDialog::remove);
    connect(this, &QDialog::finished, this, [this] { d->lists.pushRestrictedSites(); });
    fill();
    update();
}

RestrictedSitesDialog::~RestrictedSitesDialog() = default;

void RestrictedSitesDialog::fill()
{
    d->rows = d->lists.restrictedSites();
    d->list->clear();
    for (const RestrictedSite &s : d->rows)
        d->list->addItem(s.fragment);
}

void RestrictedSitesDialog::add()
{
    const Result<qint64> added = d->lists.addRestrictedSite(d->fragment->text());
    if (!added) {
        Messages::tell(this, QString(), added.error(), QMessageBox::Warning);
        return;
    }
    d->fragment->clear();
    fill();
    d->fragment->setFocus();
}

void RestrictedSitesDialog::remove()
{
    const int row = selectedRow(d->list);
    if (row < 0)
        return;
    if (const Result<> removed = d->lists.removeRestrictedSite(d->rows[row].rowid); !removed)
        Messages::tell(this, QString(), removed.error(), QMessageBox::Critical);
    fill();
}
