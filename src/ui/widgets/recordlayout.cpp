#include "recordlayout.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <limits>

namespace RecordLayout {

QPushButton *command(QWidget *parent, const QString &caption, const char *objectName)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromUtf8(objectName));
    b->setAutoDefault(false);
    return b;
}

QLineEdit *textField(QWidget *parent, const QString &objectName)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(objectName);
    e->setMaxLength(std::numeric_limits<int>::max());
    return e;
}

QTreeWidget *list(QWidget *parent, const QString &objectName, const QStringList &headers)
{
    auto *l = new QTreeWidget(parent);
    l->setObjectName(objectName);
    l->setHeaderLabels(headers);
    l->setRootIsDecorated(false);
    l->setUniformRowHeights(true);
    l->setAllColumnsShowFocus(true);
    l->setSelectionMode(QAbstractItemView::SingleSelection);
    return l;
}

void arrange(QDialog *dialog, QWidget *list, QWidget *frame, const QList<QPushButton *> &buttons,
             bool centred)
{
    auto *row = new QHBoxLayout;
    row->addStretch();
    for (QPushButton *b : buttons)
        row->addWidget(b);
    if (centred)
        row->addStretch();
    // As large from the start as the frame that takes the list's place: a dialog that grew
    // when the frame first showed would stay grown after the save.
    list->setMinimumSize(list->minimumSizeHint().expandedTo(frame->minimumSizeHint()));
    auto *layout = new QVBoxLayout(dialog);
    layout->addWidget(list, 1);
    layout->addWidget(frame, 1);
    layout->addLayout(row);
}

void showInstead(QWidget *shown, QWidget *hidden)
{
    // Hidden first: a widget shown lays its window out at once, and with both shown the
    // window would grow to hold both and stay grown.
    hidden->hide();
    shown->show();
}

} // namespace RecordLayout
