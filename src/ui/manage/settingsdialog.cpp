#include "settingsdialog.h"

#include "common/numbers.h"
#include "ui/widgets/messages.h"
#include "ui/widgets/numberedit.h"
#include "web/websettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTimeEdit>

SettingsDialog::SettingsDialog(SettingsService settings, QWidget *parent, const QString &webFolder)
    : QDialog(parent), m_settings(std::move(settings)),
      m_webFolder(webFolder.isEmpty() ? QCoreApplication::applicationDirPath() : webFolder)
{
    setObjectName(QStringLiteral("frmOption"));
    setWindowTitle(QStringLiteral("选项"));

    m_overnightStart = new QTimeEdit(this);
    m_overnightStart->setObjectName(QStringLiteral("dtpStart"));
    m_overnightEnd = new QTimeEdit(this);
    m_overnightEnd->setObjectName(QStringLiteral("dtpEnd"));
    for (QTimeEdit *t : {m_overnightStart, m_overnightEnd})
        t->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    m_overnightPrice = numberEdit(this, QStringLiteral("txtOvernightPrice"), true);
    m_minimumCharge = numberEdit(this, QStringLiteral("txtMinimumCharge"), true);
    m_roundingUnit = numberEdit(this, QStringLiteral("txtRoundingUnit"), true);
    m_startDay = numberEdit(this, QStringLiteral("txtStartDay"), true);
    m_endDay = numberEdit(this, QStringLiteral("txtEndDay"), true);
    m_startMonth = new QComboBox(this);
    m_startMonth->setObjectName(QStringLiteral("cboStartMonth"));
    m_startMonth->addItems({QStringLiteral("上月"), QStringLiteral("本月")});
    m_endMonth = new QComboBox(this);
    m_endMonth->setObjectName(QStringLiteral("cboEndMonth"));
    m_endMonth->addItems({QStringLiteral("本月"), QStringLiteral("下月")});

    auto *grid = new QGridLayout;
    auto row = [&](int r, const QString &label, QWidget *field, const QString &unit) {
        grid->addWidget(new QLabel(label, this), r, 0);
        grid->addWidget(field, r, 1);
        if (!unit.isEmpty())
            grid->addWidget(new QLabel(unit, this), r, 2);
    };
    auto *window = new QHBoxLayout;
    window->addWidget(m_overnightStart);
    window->addWidget(new QLabel(QStringLiteral("到"), this));
    window->addWidget(m_overnightEnd);
    grid->addWidget(new QLabel(QStringLiteral("通宵时间： 从"), this), 0, 0);
    grid->addLayout(window, 0, 1, 1, 2);
    row(1, QStringLiteral("通宵金额："), m_overnightPrice, QStringLiteral("元"));
    row(2, QStringLiteral("最低消费金额："), m_minimumCharge, QStringLiteral("元"));
    row(3, QStringLiteral("取整金额："), m_roundingUnit, QStringLiteral("元"));
    auto *period = new QHBoxLayout;
    period->addWidget(m_startMonth);
    period->addWidget(m_startDay);
    period->addWidget(new QLabel(QStringLiteral("日 到："), this));
    period->addWidget(m_endMonth);
    period->addWidget(m_endDay);
    period->addWidget(new QLabel(QStringLiteral("日"), this));
    grid->addWidget(new QLabel(QStringLiteral("每月结帐时间：从："), this), 4, 0);
    grid->addLayout(period, 4, 1, 1, 2);

    // The owner's web console: off until switched on here.
    auto *web = new QGroupBox(QStringLiteral("网页查看"), this);
    web->setObjectName(QStringLiteral("grpWeb"));
    m_webEnabled = new QCheckBox(QStringLiteral("启用"), web);
    m_webEnabled->setObjectName(QStringLiteral("chkWeb"));
    m_webPort = new QSpinBox(web);
    m_webPort->setObjectName(QStringLiteral("txtWebPort"));
    m_webPort->setRange(1024, 65535);
    m_webStatus = new QLabel(web);
    m_webStatus->setObjectName(QStringLiteral("lblWebStatus"));
    m_webStatus->setWordWrap(true);
    auto *webRow = new QHBoxLayout;
    webRow->addWidget(m_webEnabled);
    webRow->addSpacing(12);
    webRow->addWidget(new QLabel(QStringLiteral("端口："), web));
    webRow->addWidget(m_webPort);
    webRow->addStretch();
    auto *webLayout = new QVBoxLayout(web);
    webLayout->addLayout(webRow);
    webLayout->addWidget(m_webStatus);
    connect(&WebSettingsHub::instance(), &WebSettingsHub::statusChanged, this,
            &SettingsDialog::showWebStatus);

    auto *buttons = new QDialogButtonBox(this);
    auto *ok = buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("cmdOK"));
    auto *cancel = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    m_applyButton = buttons->addButton(QStringLiteral("应用"), QDialogButtonBox::ApplyRole);
    m_applyButton->setObjectName(QStringLiteral("cmdApply"));
    connect(ok, &QPushButton::clicked, this, [this] {
        // A change that could not be saved keeps the dialog open rather than vanish silently.
        if (m_applyButton->isEnabled() && !apply())
            return;
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_applyButton, &QPushButton::clicked, this, &SettingsDialog::apply);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(web);
    layout->addWidget(buttons);

    load();
    for (QLineEdit *e : {m_overnightPrice, m_minimumCharge, m_roundingUnit, m_startDay, m_endDay})
        connect(e, &QLineEdit::textChanged, this, &SettingsDialog::markChanged);
    for (QComboBox *c : {m_startMonth, m_endMonth})
        connect(c, &QComboBox::currentIndexChanged, this, &SettingsDialog::markChanged);
    for (QTimeEdit *t : {m_overnightStart, m_overnightEnd})
        connect(t, &QTimeEdit::timeChanged, this, &SettingsDialog::markChanged);
    connect(m_webEnabled, &QCheckBox::toggled, this, &SettingsDialog::markWebChanged);
    connect(m_webPort, &QSpinBox::valueChanged, this, &SettingsDialog::markWebChanged);
    m_applyButton->setEnabled(false);
}

void SettingsDialog::load()
{
    const WebSettings web = WebSettings::load(m_webFolder);
    m_webEnabled->setChecked(web.enabled);
    m_webPort->setValue(web.port);
    showWebStatus(WebSettingsHub::instance().status());

    const Result<std::optional<Settings>> stored = m_settings.settings();
    if (!stored)
        Messages::tell(this, QStringLiteral("错误"), stored.error(), QMessageBox::Critical);
    const std::optional<Settings> s = stored.value_or(std::nullopt);
    if (!s) {
        // No row yet: empty fields, and the month choices that a day of 0 stands for.
        m_startMonth->setCurrentIndex(1);
        m_endMonth->setCurrentIndex(0);
        return;
    }
    m_overnightPrice->setText(plainNumber(s->overnightPrice));
    m_minimumCharge->setText(s->minimumCharge ? plainNumber(*s->minimumCharge) : QString());
    m_startDay->setText(plainNumber(std::abs(s->monthStart)));
    m_endDay->setText(plainNumber(std::abs(s->monthEnd)));
    m_roundingUnit->setText(plainNumber(s->roundingUnit));
    m_startMonth->setCurrentIndex(inNeighbouringMonth(s->monthStart) ? 0 : 1);
    m_endMonth->setCurrentIndex(inNeighbouringMonth(s->monthEnd) ? 1 : 0);
    m_overnightStart->setTime(s->overnightStart);
    m_overnightEnd->setTime(s->overnightEnd);
}

void SettingsDialog::markChanged()
{
    m_settingsChanged = true;
    m_applyButton->setEnabled(true);
}

void SettingsDialog::markWebChanged()
{
    m_webChanged = true;
    m_applyButton->setEnabled(true);
}

void SettingsDialog::showWebStatus(const QString &status)
{
    m_webStatus->setText(
        status.isEmpty()
            ? QStringLiteral("启用后，在店里的手机或电脑上用浏览器打开 https://本机地址:端口/ 查看。")
            : status);
}

bool SettingsDialog::applyWeb()
{
    WebSettings wanted;
    wanted.enabled = m_webEnabled->isChecked();
    wanted.port = quint16(m_webPort->value());
    const WebSettings before = WebSettings::load(m_webFolder);
    if (wanted == before)
        return true;
    // The file is not the store: the right is asked before it is written.
    if (const Result<> allowed = m_settings.mayChange(); !allowed) {
        Messages::tell(this, QStringLiteral("错误"), allowed.error(), QMessageBox::Critical);
        return false;
    }
    if (const Result<> saved = wanted.save(m_webFolder); !saved) {
        Messages::tell(this, QStringLiteral("错误"), QStringLiteral("无法保存设置（%1）").arg(saved.error()),
                       QMessageBox::Critical);
        return false;
    }
    const auto text = [](const WebSettings &w) {
        return QStringLiteral("%1，端口%2")
            .arg(w.enabled ? QStringLiteral("启用") : QStringLiteral("停用"))
            .arg(w.port);
    };
    const QString details = text(before) + QStringLiteral(" → ") + text(wanted);
    (void)m_settings.recordWebSettings(details);
    return true;
}

bool SettingsDialog::apply()
{
    m_applyButton->setEnabled(false);
    const bool onlyWeb = m_webChanged && !m_settingsChanged;
    if (m_webChanged) {
        if (!applyWeb()) {
            m_applyButton->setEnabled(true);
            return false;
        }
        m_webChanged = false;
    }
    if (onlyWeb)
        return true;
    m_settingsChanged = false;
    Settings s;
    s.overnightPrice = numberValue(m_overnightPrice->text());
    s.minimumCharge = numberValue(m_minimumCharge->text());
    s.roundingUnit = numberValue(m_roundingUnit->text());
    s.overnightStart = m_overnightStart->time();
    s.overnightEnd = m_overnightEnd->time();
    const double startDay = numberValue(m_startDay->text());
    const double endDay = numberValue(m_endDay->text());
    // 上月 is the first choice of the start, 下月 the second of the end.
    s.monthStart = storedMonthDay(startDay, m_startMonth->currentIndex() == 0);
    s.monthEnd = storedMonthDay(endDay, m_endMonth->currentIndex() == 1);
    const Result<> saved = m_settings.saveSettings(s);
    if (!saved) {
        m_settingsChanged = true;
        m_applyButton->setEnabled(true);
        Messages::tell(this, QStringLiteral("错误"), QStringLiteral("无法保存设置（%1）").arg(saved.error()),
                       QMessageBox::Critical);
        return false;
    }
    return true;
}
