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

struct SettingsDialog::Private
{
    SettingsService settings;
    QString webFolder;
    QTimeEdit *overnightStart = nullptr;
    QTimeEdit *overnightEnd = nullptr;
    QLineEdit *overnightPrice = nullptr;
    QLineEdit *minimumCharge = nullptr;
    QLineEdit *roundingUnit = nullptr;
    QComboBox *startMonth = nullptr;
    QLineEdit *startDay = nullptr;
    QComboBox *endMonth = nullptr;
    QLineEdit *endDay = nullptr;
    QPushButton *applyButton = nullptr;
    QCheckBox *webEnabled = nullptr;
    QSpinBox *webPort = nullptr;
    QLabel *webStatus = nullptr;
    bool settingsChanged = false;
    bool webChanged = false;
};

SettingsDialog::SettingsDialog(SettingsService settings, QWidget *parent, const QString &webFolder)
    : QDialog(parent),
      d(std::make_unique<Private>(std::move(settings),
                                  webFolder.isEmpty() ? QCoreApplication::applicationDirPath() : webFolder))
{
    setObjectName(QStringLiteral("frmOption"));
    setWindowTitle(QStringLiteral("选项"));

    d->overnightStart = new QTimeEdit(this);
    d->overnightStart->setObjectName(QStringLiteral("dtpStart"));
    d->overnightEnd = new QTimeEdit(this);
    d->overnightEnd->setObjectName(QStringLiteral("dtpEnd"));
    for (QTimeEdit *t : {d->overnightStart, d->overnightEnd})
        t->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    d->overnightPrice = numberEdit(this, QStringLiteral("txtOvernightPrice"), true);
    d->minimumCharge = numberEdit(this, QStringLiteral("txtMinimumCharge"), true);
    d->roundingUnit = numberEdit(this, QStringLiteral("txtRoundingUnit"), true);
    d->startDay = numberEdit(this, QStringLiteral("txtStartDay"), true);
    d->endDay = numberEdit(this, QStringLiteral("txtEndDay"), true);
    d->startMonth = new QComboBox(this);
    d->startMonth->setObjectName(QStringLiteral("cboStartMonth"));
    d->startMonth->addItems({QStringLiteral("上月"), QStringLiteral("本月")});
    d->endMonth = new QComboBox(this);
    d->endMonth->setObjectName(QStringLiteral("cboEndMonth"));
    d->endMonth->addItems({QStringLiteral("本月"), QStringLiteral("下月")});

    auto *grid = new QGridLayout;
    auto row = [&](int r, const QString &label, QWidget *field, const QString &unit) {
        grid->addWidget(new QLabel(label, this), r, 0);
        grid->addWidget(field, r, 1);
        if (!unit.isEmpty())
            grid->addWidget(new QLabel(unit, this), r, 2);
    };
    auto *window = new QHBoxLayout;
    window->addWidget(d->overnightStart);
    window->addWidget(new QLabel(QStringLiteral("到"), this));
    window->addWidget(d->overnightEnd);
    grid->addWidget(new QLabel(QStringLiteral("通宵时间： 从"), this), 0, 0);
    grid->addLayout(window, 0, 1, 1, 2);
    row(1, QStringLiteral("通宵金额："), d->overnightPrice, QStringLiteral("元"));
    row(2, QStringLiteral("最低消费金额："), d->minimumCharge, QStringLiteral("元"));
    row(3, QStringLiteral("取整金额："), d->roundingUnit, QStringLiteral("元"));
    auto *period = new QHBoxLayout;
    period->addWidget(d->startMonth);
    period->addWidget(d->startDay);
    period->addWidget(new QLabel(QStringLiteral("日 到："), this));
    period->addWidget(d->endMonth);
    period->addWidget(d->endDay);
    period->addWidget(new QLabel(QStringLiteral("日"), this));
    grid->addWidget(new QLabel(QStringLiteral("每月结帐时间：从："), this), 4, 0);
    grid->addLayout(period, 4, 1, 1, 2);

    // The owner's web console: off until switched on here.
    auto *web = new QGroupBox(QStringLiteral("网页查看"), this);
    web->setObjectName(QStringLiteral("grpWeb"));
    d->webEnabled = new QCheckBox(QStringLiteral("启用"), web);
    d->webEnabled->setObjectName(QStringLiteral("chkWeb"));
    d->webPort = new QSpinBox(web);
    d->webPort->setObjectName(QStringLiteral("txtWebPort"));
    d->webPort->setRange(1024, 65535);
    d->webStatus = new QLabel(web);
    d->webStatus->setObjectName(QStringLiteral("lblWebStatus"));
    d->webStatus->setWordWrap(true);
    auto *webRow = new QHBoxLayout;
    webRow->addWidget(d->webEnabled);
    webRow->addSpacing(12);
    webRow->addWidget(new QLabel(QStringLiteral("端口："), web));
    webRow->addWidget(d->webPort);
    webRow->addStretch();
    auto *webLayout = new QVBoxLayout(web);
    webLayout->addLayout(webRow);
    webLayout->addWidget(d->webStatus);
    connect(&WebSettingsHub::instance(), &WebSettingsHub::statusChanged, this,
            &SettingsDialog::showWebStatus);

    auto *buttons = new QDialogButtonBox(this);
    auto *ok = buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("cmdOK"));
    auto *cancel = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    d->applyButton = buttons->addButton(QStringLiteral("应用"), QDialogButtonBox::ApplyRole);
    d->applyButton->setObjectName(QStringLiteral("cmdApply"));
    connect(ok, &QPushButton::clicked, this, [this] {
        // A change that could not be saved keeps the dialog open rather than vanish silently.
        if (d->applyButton->isEnabled() && !apply())
            return;
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(d->applyButton, &QPushButton::clicked, this, &SettingsDialog::apply);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(web);
    layout->addWidget(buttons);

    load();
    for (QLineEdit *e : {d->overnightPrice, d->minimumCharge, d->roundingUnit, d->startDay, d->endDay})
        connect(e, &QLineEdit::textChanged, this, &SettingsDialog::markChanged);
    for (QComboBox *c : {d->startMonth, d->endMonth})
        connect(c, &QComboBox::currentIndexChanged, this, &SettingsDialog::markChanged);
    for (QTimeEdit *t : {d->overnightStart, d->overnightEnd})
        connect(t, &QTimeEdit::timeChanged, this, &SettingsDialog::markChanged);
    connect(d->webEnabled, &QCheckBox::toggled, this, &SettingsDialog::markWebChanged);
    connect(d->webPort, &QSpinBox::valueChanged, this, &SettingsDialog::markWebChanged);
    d->applyButton->setEnabled(false);
}

SettingsDialog::~SettingsDialog() = default;

void SettingsDialog::load()
{
    const WebSettings web = WebSettings::load(d->webFolder);
    d->webEnabled->setChecked(web.enabled);
    d->webPort->setValue(web.port);
    showWebStatus(WebSettingsHub::instance().status());

    const Result<std::optional<Settings>> stored = d->settings.settings();
    if (!stored)
        Messages::tell(this, QStringLiteral("错误"), stored.error(), QMessageBox::Critical);
    const std::optional<Settings> s = stored.value_or(std::nullopt);
    if (!s) {
        // No row yet: empty fields, and the month choices that a day of 0 stands for.
        d->startMonth->setCurrentIndex(1);
        d->endMonth->setCurrentIndex(0);
        return;
    }
    d->overnightPrice->setText(plainNumber(s->overnightPrice));
    d->minimumCharge->setText(s->minimumCharge ? plainNumber(*s->minimumCharge) : QString());
    d->startDay->setText(plainNumber(std::abs(s->monthStart)));
    d->endDay->setText(plainNumber(std::abs(s->monthEnd)));
    d->roundingUnit->setText(plainNumber(s->roundingUnit));
    d->startMonth->setCurrentIndex(inNeighbouringMonth(s->monthStart) ? 0 : 1);
    d->endMonth->setCurrentIndex(inNeighbouringMonth(s->monthEnd) ? 1 : 0);
    d->overnightStart->setTime(s->overnightStart);
    d->overnightEnd->setTime(s->overnightEnd);
}

void SettingsDialog::markChanged()
{
    d->settingsChanged = true;
    d->applyButton->setEnabled(true);
}

void SettingsDialog::markWebChanged()
{
    d->webChanged = true;
    d->applyButton->setEnabled(true);
}

void SettingsDialog::showWebStatus(const QString &status)
{
    d->webStatus->setText(
        status.isEmpty()
            ? QStringLiteral("启用后，在店里的手机或电脑上用浏览器打开 https://本机地址:端口/ 查看。")
            : status);
}

bool SettingsDialog::applyWeb()
{
    WebSettings wanted;
    wanted.enabled = d->webEnabled->isChecked();
    wanted.port = quint16(d->webPort->value());
    const WebSettings before = WebSettings::load(d->webFolder);
    if (wanted == before)
        return true;
    // The file is not the store: the right is asked before it is written.
    if (const Result<> allowed = d->settings.mayChange(); !allowed) {
        Messages::tell(this, QStringLiteral("错误"), allowed.error(), QMessageBox::Critical);
        return false;
    }
    if (const Result<> saved = wanted.save(d->webFolder); !saved) {
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
    (void)d->settings.recordWebSettings(details);
    return true;
}

bool SettingsDialog::apply()
{
    d->applyButton->setEnabled(false);
    const bool onlyWeb = d->webChanged && !d->settingsChanged;
    if (d->webChanged) {
        if (!applyWeb()) {
            d->applyButton->setEnabled(true);
            return false;
        }
        d->webChanged = false;
    }
    if (onlyWeb)
        return true;
    d->settingsChanged = false;
    Settings s;
    s.overnightPrice = numberValue(d->overnightPrice->text());
    s.minimumCharge = numberValue(d->minimumCharge->text());
    s.roundingUnit = numberValue(d->roundingUnit->text());
    s.overnightStart = d->overnightStart->time();
    s.overnightEnd = d->overnightEnd->time();
    const double startDay = numberValue(d->startDay->text());
    const double endDay = numberValue(d->endDay->text());
    // 上月 is the first choice of the start, 下月 the second of the end.
    s.monthStart = storedMonthDay(startDay, d->startMonth->currentIndex() == 0);
    s.monthEnd = storedMonthDay(endDay, d->endMonth->currentIndex() == 1);
    const Result<> saved = d->settings.saveSettings(s);
    if (!saved) {
        d->settingsChanged = true;
        d->applyButton->setEnabled(true);
        Messages::tell(this, QStringLiteral("错误"), QStringLiteral("无法保存设置（%1）").arg(saved.error()),
                       QMessageBox::Critical);
        return false;
    }
    return true;
}
