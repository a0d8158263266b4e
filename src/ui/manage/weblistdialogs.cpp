#include "weblistdialogs.h"

#include "link/weblists.h"
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

QuickAddressDialog::QuickAddressDialog(WebListService lists, QWidget *parent)
    : QDialog(parent), m_lists(std::move(lists)), m_name(new QLineEdit(this)), m_address(new QLineEdit(this)),
      m_list(new QListWidget(this)), m_add(button("添加", "add", this)),
      m_remove(button("删除", "remove", this)), m_change(button("更改", "change", this))
{
    setObjectName(QStringLiteral("quickAddressDialog"));
    setWindowTitle(QStringLiteral("设置快速网址"));
    m_name->setObjectName(QStringLiteral("siteName"));
    m_address->setObjectName(QStringLiteral("siteAddress"));
    m_address->setPlaceholderText(QStringLiteral("http://"));
    m_address->setMinimumWidth(260);
    m_list->setObjectName(QStringLiteral("siteList"));

    auto *fields = new QFormLayout;
    fields->addRow(QStringLiteral("网站名称："), m_name);
    fields->addRow(QStringLiteral("网站地址："), m_address);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_add);
    buttons->addWidget(m_remove);
    buttons->addWidget(m_change);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(m_list);
    layout->addLayout(buttons);
    setTabOrder(m_name, m_address);
    setTabOrder(m_address, m_add);

    connect(m_list, &QListWidget::itemClicked, this, &QuickAddressDialog::entryChosen);
    // Choosing by keyboard shows the entry as a click does.
    connect(m_list, &QListWidget::currentRowChanged, this, &QuickAddressDialog::entryChosen);
    connect(m_list, &QListWidget::itemSelectionChanged, this, &QuickAddressDialog::updateButtons);
    connect(m_name, &QLineEdit::textEdited, this, &QuickAddressDialog::updateButtons);
    connect(m_address, &QLineEdit::textEdited, this, &QuickAddressDialog::updateButtons);
    connect(m_add, &QPushButton::clicked, this, &QuickAddressDialog::add);
    connect(m_remove, &QPushButton::clicked, this, &QuickAddressDialog::remove);
    connect(m_change, &QPushButton::clicked, this, &QuickAddressDialog::change);
    connect(this, &QDialog::finished, this, [this] { m_lists.pushQuickAddresses(); });
    fill();
}

void QuickAddressDialog::fill(qint64 selectRowid)
{
    m_rows = m_lists.quickAddresses();
    m_list->clear();
    for (const QuickAddress &a : m_rows) {
        m_list->addItem(a.name);
        if (a.rowid == selectRowid)
            m_list->setCurrentRow(m_list->count() - 1);
    }
    updateButtons();
}

void QuickAddressDialog::entryChosen()
{
    const int row = selectedRow(m_list);
    if (row < 0)
        return;
    m_name->setText(m_rows[row].name);
    m_address->setText(m_rows[row].address);
    // Nothing to add or change until the operator edits.
    m_add->setEnabled(false);
    m_change->setEnabled(false);
    m_remove->setEnabled(true);
}

void QuickAddressDialog::updateButtons()
{
    const bool named = !m_name->text().isEmpty();
    m_add->setEnabled(named);
    m_change->setEnabled(named && selectedRow(m_list) >= 0);
    m_remove->setEnabled(selectedRow(m_list) >= 0);
}

void QuickAddressDialog::refuse(const QString &reason)
{
    const bool wrongAddress = !isQuickAddress(m_address->text());
    Messages::tell(this, QString(), reason, QMessageBox::Critical);
    (wrongAddress ? m_address : m_name)->setFocus();
}

void QuickAddressDialog::add()
{
    Result<QuickAddressEdit> done = m_lists.addQuickAddress(m_name->text(), m_address->text(), false);
    if (done && done->nameTaken) {
        if (Messages::ask(this, QString(), QStringLiteral("该网站已经存在了，要将他改成新的吗？"),
                          QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
            return;
        done = m_lists.addQuickAddress(m_name->text(), m_address->text(), true);
    }
    if (!done)
        return refuse(done.error());
    fill(done->rowid);
}

void QuickAddressDialog::remove()
{
    const int row = selectedRow(m_list);
    if (row < 0)
        return;
    const QuickAddress site = m_rows[row];
    if (Messages::ask(this, QString(),
                      QStringLiteral("确实要删除网站：") + site.name + QStringLiteral(" 吗？"),
                      QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel) == QMessageBox::Ok) {
        if (const Result<> removed = m_lists.removeQuickAddress(site.rowid); !removed)
            Messages::tell(this, QString(), removed.error(), QMessageBox::Critical);
    }
    fill();
}

void QuickAddressDialog::change()
{
    const int row = selectedRow(m_list);
    if (row < 0)
        return;
    const qint64 rowid = m_rows[row].rowid;
    Result<QuickAddressEdit> done =
        m_lists.changeQuickAddress(rowid, m_name->text(), m_address->text(), false);
    if (done && done->nameTaken) {
        if (Messages::ask(this, QString(), QStringLiteral("该网站已经存在了，要将他改成新的吗？"),
                          QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
            return;
        done = m_lists.changeQuickAddress(rowid, m_name->text(), m_address->text(), true);
    }
    if (!done)
        return refuse(done.error());
    fill(rowid);
}

RestrictedSitesDialog::RestrictedSitesDialog(WebListService lists, QWidget *parent)
    : QDialog(parent), m_lists(std::move(lists)), m_fragment(new QLineEdit(this)),
      m_list(new QListWidget(this)), m_add(button("添加", "add", this)),
      m_remove(button("删除", "remove", this))
{
    setObjectName(QStringLiteral("restrictedSitesDialog"));
    setWindowTitle(QStringLiteral("访问限制"));
    m_fragment->setObjectName(QStringLiteral("fragment"));
    m_list->setObjectName(QStringLiteral("fragmentList"));

    auto *label = new QLabel(QStringLiteral("含有下列内容的网站不可访问："), this);
    label->setBuddy(m_fragment);
    auto *layout = new QGridLayout(this);
    layout->addWidget(label, 0, 0, 1, 2);
    layout->addWidget(m_fragment, 1, 0);
    layout->addWidget(m_add, 1, 1);
    layout->addWidget(m_list, 2, 0);
    auto *side = new QVBoxLayout;
    side->addWidget(m_remove);
    side->addStretch();
    layout->addLayout(side, 2, 1);

    const auto update = [this] {
        m_add->setEnabled(!m_fragment->text().trimmed().isEmpty());
        m_remove->setEnabled(selectedRow(m_list) >= 0);
    };
    connect(m_fragment, &QLineEdit::textChanged, this, update);
    connect(m_list, &QListWidget::itemSelectionChanged, this, update);
    connect(m_fragment, &QLineEdit::returnPressed, this, &RestrictedSitesDialog::add);
    connect(m_add, &QPushButton::clicked, this, &RestrictedSitesDialog::add);
    connect(m_remove, &QPushButton::clicked, this, &RestrictedSitesDialog::remove);
    connect(this, &QDialog::finished, this, [this] { m_lists.pushRestrictedSites(); });
    fill();
    update();
}

void RestrictedSitesDialog::fill()
{
    m_rows = m_lists.restrictedSites();
    m_list->clear();
    for (const RestrictedSite &s : m_rows)
        m_list->addItem(s.fragment);
}

void RestrictedSitesDialog::add()
{
    const Result<qint64> added = m_lists.addRestrictedSite(m_fragment->text());
    if (!added) {
        Messages::tell(this, QString(), added.error(), QMessageBox::Warning);
        return;
    }
    m_fragment->clear();
    fill();
    m_fragment->setFocus();
}

void RestrictedSitesDialog::remove()
{
    const int row = selectedRow(m_list);
    if (row < 0)
        return;
    if (const Result<> removed = m_lists.removeRestrictedSite(m_rows[row].rowid); !removed)
        Messages::tell(this, QString(), removed.error(), QMessageBox::Critical);
    fill();
}
