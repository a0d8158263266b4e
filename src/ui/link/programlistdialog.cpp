#include "programlistdialog.h"

#include "link/clientcontrol.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

ProgramListDialog::ProgramListDialog(ClientControl &control, bool request, QWidget *parent)
    : QDialog(parent), m_control(control), m_list(new QListWidget(this))
{
    setObjectName(QStringLiteral("programListDialog"));
    setWindowTitle(QStringLiteral("计算机状态"));
    m_list->setObjectName(QStringLiteral("programList"));
    m_list->setMinimumSize(340, 220);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    auto *end = new QPushButton(QStringLiteral("结束程序"), this);
    end->setObjectName(QStringLiteral("endProgram"));
    auto *refresh = new QPushButton(QStringLiteral("刷新列表"), this);
    refresh->setObjectName(QStringLiteral("refreshList"));
    auto *close = new QPushButton(QStringLiteral("关 闭"), this);
    close->setObjectName(QStringLiteral("closeList"));
    connect(end, &QPushButton::clicked, this, &ProgramListDialog::endProgram);
    connect(refresh, &QPushButton::clicked, this, [this] { m_control.requestPrograms(); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(&m_control, &ClientControl::programsChanged, this, &ProgramListDialog::FlashList1);

    auto *label = new QLabel(QStringLiteral("当前应用程序"), this);
    label->setBuddy(m_list);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(end);
    buttons->addWidget(refresh);
    buttons->addStretch();
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_list);
    layout->addLayout(buttons);

    FlashList1();
    if (request)
        m_control.requestPrograms();
}

void ProgramListDialog::FlashList1()
{
    m_list->clear();
    for (const control::Program &p : m_control.programs())
        m_list->addItem(p.title);
}

void ProgramListDialog::endProgram()
{
    const QListWidgetItem *item = m_list->currentItem();
    m_control.endProgram(item && item->isSelected() ? m_list->row(item) : -1);
}
