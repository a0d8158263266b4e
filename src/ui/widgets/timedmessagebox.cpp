#include "timedmessagebox.h"

#include "sound.h"
#include "windowfit.h"

#include <QApplication>
#include <QDir>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

namespace {

struct ButtonSet
{
    QString first;
    Answer firstAnswer;
    QString second; // empty: no second button
    Answer secondAnswer;
};

ButtonSet buttonsFor(const Question &question)
{
    switch (question.buttons) {
    case Question::Buttons::YesNo:
        // The plain question is the ordinary yes/no box, without the keyboard hints.
        if (question.seconds <= 0)
            return {QStringLiteral("是"), Answer::Yes, QStringLiteral("否"), Answer::No};
        return {QStringLiteral("是(&Y)"), Answer::Yes, QStringLiteral("否(&N)"), Answer::No};
    case Question::Buttons::OkCancel:
        return {QStringLiteral("确定"), Answer::Ok, QStringLiteral("取消"), Answer::Cancel};
    case Question::Buttons::OkOnly:
        break;
    }
    // A box with only "确定" has nothing else to answer when it times out or is closed.
    return {QStringLiteral("确定"), Answer::Ok, QString(), Answer::Ok};
}

// A goods order lists its goods below the question, each name padded with spaces to a fixed
// width counted in bytes (a Chinese character taking two). No proportional font keeps such
// columns in line, so a list of that form is shown as a grid: the question, then one row of
// cells per line. Anything else is shown as it stands.
struct Layout
{
    QString head;
    QList<QStringList> rows;
    QString footer; // "……等共N项" after a shortened list
};

Layout layoutOf(const QString &text)
{
    static const QRegularExpression padding(QStringLiteral(" {2,}"));
    QStringList lines = text.split(QLatin1Char('\n'));
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
        lines.removeLast();
    Layout layout{text, {}, {}};
    if (lines.size() < 2)
        return layout;
    QList<QStringList> rows;
    QString footer;
    if (lines.size() > 2 && lines.last().startsWith(QStringLiteral("……")))
        footer = lines.takeLast();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        QStringList cells = lines.at(i).split(padding, Qt::SkipEmptyParts);
        if (cells.size() != 2)
            return layout;
        rows << cells;
    }
    return {lines.first(), rows, footer};
}

} // namespace

struct TimedMessageBox::Private
{
    Question question;
    QTimer timer;
    QLabel *text = nullptr;
    QScrollArea *scroll = nullptr;
    QLabel *countdown = nullptr;
    QProgressBar *bar = nullptr;
    QPushButton *first = nullptr;
    QPushButton *second = nullptr;
    Answer firstAnswer = Answer::Ok;
    int count = 0;
    bool started = false;
    bool answered = false;
    bool soundStarted = false;
    Answer answer = Answer::Cancel;
};

TimedMessageBox::TimedMessageBox(const Question &question, QWidget *parent)
    : QDialog(parent), d(std::make_unique<Private>(question))
{
    setObjectName(QStringLiteral("TimedMessageBox"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowTitle(question.title.isEmpty() ? QApplication::applicationDisplayName() : question.title);
    setMinimumWidth(WindowFit::titleWidth(windowTitle()));
    setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);

    const ButtonSet set = buttonsFor(question);
    d->firstAnswer = set.firstAnswer;

    auto *icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("icon"));
    const bool informs = question.buttons == Question::Buttons::OkOnly;
    const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(
        style()
            ->standardIcon(informs ? QStyle::SP_MessageBoxInformation : QStyle::SP_MessageBoxQuestion,
                           nullptr, this)
            .pixmap(iconSize, iconSize));
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    // Clients send line breaks as CR LF.
    QString text = question.text;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const Layout parts = layoutOf(text);
    d->text = new QLabel(parts.head, this);
    d->text->setObjectName(QStringLiteral("text"));
    d->text->setTextFormat(Qt::PlainText);
    d->text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A one-line question sits level with the icon.
    d->text->setMinimumHeight(iconSize);
    d->text->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    auto *textColumn = new QVBoxLayout;
    textColumn->setSpacing(6);
    textColumn->addWidget(d->text);
    if (!parts.rows.isEmpty()) {
        auto *grid = new QGridLayout;
        grid->setHorizontalSpacing(28);
        grid->setVerticalSpacing(2);
        grid->setContentsMargins(12, 0, 0, 0);
        for (int r = 0; r < parts.rows.size(); ++r)
            for (int c = 0; c < 2; ++c) {
                auto *cell = new QLabel(parts.rows.at(r).at(c), this);
                cell->setTextFormat(Qt::PlainText);
                grid->addWidget(cell, r, c);
            }
        grid->setColumnStretch(2, 1);
        textColumn->addLayout(grid);
        if (!parts.footer.isEmpty()) {
            auto *footer = new QLabel(parts.footer, this);
            footer->setObjectName(QStringLiteral("more"));
            footer->setTextFormat(Qt::PlainText);
            footer->setContentsMargins(12, 0, 0, 0);
            textColumn->addWidget(footer);
        }
    }
    // However long the question, the box fits the screen: the text scrolls, the countdown and
    // the buttons stay in view.
    auto *content = new QWidget;
    content->setObjectName(QStringLiteral("content"));
    content->setLayout(textColumn);
    textColumn->setContentsMargins(0, 0, 0, 0);
    d->scroll = new QScrollArea(this);
    d->scroll->setObjectName(QStringLiteral("textArea"));
    d->scroll->setFrameShape(QFrame::NoFrame);
    d->scroll->setWidgetResizable(true);
    d->scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    d->scroll->setWidget(content);
    d->scroll->setBackgroundRole(QPalette::Window);
    content->setAutoFillBackground(false);

    auto *textAndWait = new QVBoxLayout;
    textAndWait->setSpacing(6);
    textAndWait->addWidget(d->scroll);
    if (question.waitedSeconds > 0) {
        // The customer may have given up waiting.
        auto *waited = new QLabel(QStringLiteral("（已等待%1秒）").arg(question.waitedSeconds), this);
        waited->setObjectName(QStringLiteral("waited"));
        textAndWait->addWidget(waited);
    }
    auto *message = new QHBoxLayout;
    message->setSpacing(16);
    message->addWidget(icon, 0, Qt::AlignTop);
    message->addLayout(textAndWait, 1);

    auto *layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize); // sized to the question
    layout->setContentsMargins(20, 18, 20, 14);
    layout->setSpacing(10);
    layout->addLayout(message);

    if (isTimed()) {
        // Written once: the bar shows the time running out.
        d->countdown = new QLabel(QStringLiteral("窗口将在%1秒后关闭").arg(question.seconds), this);
        d->countdown->setObjectName(QStringLiteral("countdown"));
        QPalette muted = d->countdown->palette();
        muted.setColor(QPalette::WindowText, muted.color(QPalette::PlaceholderText));
        d->countdown->setPalette(muted);
        d->bar = new QProgressBar(this);
        d->bar->setObjectName(QStringLiteral("progress"));
        d->bar->setRange(0, 100);
        d->bar->setValue(0);
        d->bar->setTextVisible(false);
        d->bar->setFixedHeight(8);
        d->bar->setMinimumWidth(260);
        layout->addSpacing(4);
        layout->addWidget(d->countdown);
        layout->addWidget(d->bar);
    }

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    buttons->addStretch(1);
    d->first = new QPushButton(set.first, this);
    d->first->setObjectName(QStringLiteral("firstButton"));
    d->first->setMinimumWidth(88);
    buttons->addWidget(d->first);
    connect(d->first, &QPushButton::clicked, this, [this] { finish(d->firstAnswer); });
    d->second = new QPushButton(set.second, this);
    d->second->setObjectName(QStringLiteral("secondButton"));
    d->second->setMinimumWidth(88);
    buttons->addWidget(d->second);
    connect(d->second, &QPushButton::clicked, this, [this] { finish(secondAnswer()); });
    buttons->addStretch(1);
    layout->addSpacing(4);
    layout->addLayout(buttons);

    // A stray Enter from someone typing elsewhere must not grant a request: the refusing
    // button has the focus.
    QPushButton *preferred = d->first;
    if (set.second.isEmpty())
        d->second->hide();
    else
        preferred = d->second;
    preferred->setDefault(true);
    preferred->setFocus();

    d->timer.setInterval(kTickMilliseconds);
    connect(&d->timer, &QTimer::timeout, this, &TimedMessageBox::tick);

    fitToScreen(content);
}

void TimedMessageBox::fitToScreen(QWidget *content)
{
    const QSize wanted = content->sizeHint();
    d->scroll->setFixedSize(wanted);
    const QScreen *onScreen = parentWidget() ? parentWidget()->screen() : screen();
    if (!onScreen)
        onScreen = QGuiApplication::primaryScreen();
    if (!onScreen)
        return;
    // What the rest of the box and the window frame take.
    constexpr int kFrame = 48;
    const int rest = layout()->sizeHint().height() - wanted.height();
    const int room = onScreen->availableGeometry().height() - kFrame - rest;
    if (wanted.height() <= room)
        return;
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, d->scroll);
    d->scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    d->scroll->setFixedSize(wanted.width() + bar, qMax(room, 60));
}

TimedMessageBox::~TimedMessageBox()
{
    if (!d->answered) {
        d->answered = true;
        d->answer = secondAnswer();
        emit answered(d->answer);
    }
}

const Question &TimedMessageBox::question() const
{
    return d->question;
}

bool TimedMessageBox::isTimed() const
{
    return d->question.seconds > 0;
}

int TimedMessageBox::count() const
{
    return d->count;
}

Answer TimedMessageBox::answer() const
{
    return d->answer;
}

bool TimedMessageBox::soundStarted() const
{
    return d->soundStarted;
}

QScrollArea *TimedMessageBox::textArea() const
{
    return d->scroll;
}

QPushButton *TimedMessageBox::firstButton() const
{
    return d->first;
}

QPushButton *TimedMessageBox::secondButton() const
{
    return d->second;
}

int TimedMessageBox::progress() const
{
    return d->bar ? d->bar->value() : 0;
}

Answer TimedMessageBox::secondAnswer() const
{
    return buttonsFor(d->question).secondAnswer;
}

void TimedMessageBox::reject()
{
    finish(secondAnswer());
}

void TimedMessageBox::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (d->started)
        return;
    d->started = true;
    if (!isTimed())
        return;
    d->soundStarted = Sound::play(QDir(Sound::directory()).filePath(QStringLiteral("notify.wav")));
    raise();
    activateWindow();
    d->timer.start();
}

void TimedMessageBox::tick()
{
    if (d->answered)
        return;
    ++d->count;
    const int total = d->question.seconds * 10;
    d->bar->setValue(qMin(100, d->count * 100 / total));
    if (d->count >= total)
        finish(secondAnswer());
}

void TimedMessageBox::finish(Answer answer)
{
    if (d->answered)
        return;
    d->answered = true;
    d->answer = answer;
    d->timer.stop();
    QPointer<TimedMessageBox> alive(this);
    done(answer == d->firstAnswer ? QDialog::Accepted : QDialog::Rejected);
    if (alive)
        emit answered(answer);
}

TimedQuestionPresenter::TimedQuestionPresenter(QWidget *window, QObject *parent)
    : QObject(parent), m_window(window)
{
}

void TimedQuestionPresenter::present(const Question &question, std::function<void(Answer)> answered)
{
    auto *box = new TimedMessageBox(question, m_window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &TimedMessageBox::answered, box, [answered = std::move(answered)](Answer answer) {
        if (answered)
            answered(answer);
    });
    m_current = box;
    box->open();
    emit boxShown(box);
}

void TimedQuestionPresenter::dismiss()
{
    // Closed as if its time had run out; the queue has answered for it already.
    if (m_current)
        m_current->reject();
}
