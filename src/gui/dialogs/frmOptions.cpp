#include "dialogs/frmOptions.h"

#include "dialogs/DialogLayout.h"
#include "dialogs/DialogRules.h"
#include "settings/Options.h"
#include "shared/Framework.h"
#include "shared/Prompt.h"
#include "shared/bksPublicWindows.h"

#include <QCheckBox>
#include <QDir>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

class frmOptions::Private
{
public:
    explicit Private(Options &options)
        : options(options)
    {
    }

    Options &options;
    OptionValues edited; // applied to the options on Close
    QLineEdit *tbRefreshInterval = nullptr;
    QLineEdit *tbAlarmInterval = nullptr;
    QLineEdit *tbAlarmSound = nullptr;
    QLineEdit *tbScrollInterval = nullptr;
    QPushButton *browse = nullptr; // Command2
    QPushButton *testAlarm = nullptr; // Command3
    QCheckBox *soundsOn = nullptr; // Check1_0
    QCheckBox *scroll = nullptr; // Check1_1
    QCheckBox *startMinimized = nullptr; // Check1_2
    QCheckBox *displayTopMost = nullptr; // Check1_3
    QCheckBox *notifications = nullptr; // Check1_4
    QPushButton *close = nullptr; // Command1_0
    QPushButton *cancel = nullptr; // Command1_1

    bool isIntervalBox(const QObject *o) const
    {
        return o == tbRefreshInterval || o == tbAlarmInterval || o == tbScrollInterval;
    }
};

namespace {

// The length limit stops typing only: a longer stored value is shown whole, not cut off.
void setBoxText(QLineEdit *box, const QString &text, int limit)
{
    box->setMaxLength(qMax(limit, int(text.size())));
    box->setText(text);
}

} // namespace

frmOptions::frmOptions(Options &options, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , d(new Private(options))
{
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Options..."));
    setFont(Framework::FormFont());
    setFixedSize(DialogLayout::ClientSize(this, 6960, 3165));

    using DialogLayout::Place;
    auto label = [this](const char *name, const QString &text, int left, int top, int width) {
        auto *l = new QLabel(text, this);
        l->setObjectName(QLatin1String(name));
        Place(l, left, top, width, 255);
        return l;
    };
    auto box = [this](const char *name, int left, int top, int width, int maxLength) {
        auto *b = new QLineEdit(this);
        b->setObjectName(QLatin1String(name));
        b->setMaxLength(maxLength);
        Place(b, left, top, width, 285);
        b->installEventFilter(this);
        return b;
    };
    auto button = [this](const char *name, const QString &text, int left, int top, int width, int height) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        Place(b, left, top, width, height);
        return b;
    };
    auto check = [this](const char *name, const QString &text, int top, int width) {
        auto *c = new QCheckBox(text, this);
        c->setObjectName(QLatin1String(name));
        Place(c, 95, top, width, 195);
        // Nothing stands to the right of a check box: let a wider fallback font keep its text whole.
        c->resize(qMax(c->width(), c->sizeHint().width()), c->height());
        return c;
    };

    label("Label1_1", QStringLiteral("Refresh Interval:"), 120, 180, 1215);
    label("Label1_0", QStringLiteral("Alarm Interval:"), 120, 540, 1215);
    label("Label1_2", QStringLiteral("Alarm Sound:"), 120, 900, 1215);
    label("Label1_3", QStringLiteral("Scroll Interval:"), 120, 1860, 1215);
    label("Label2_1", QStringLiteral("Ranges 0->30000 in seconds (defaults to 30 seconds)"), 2340, 180, 4575);
    label("Label2_0", QStringLiteral("Ranges 0->30000 in minutes (defaults to 5 minutes)"), 2340, 540, 4575);
    label("Label2_2", QStringLiteral("Ranges 0->30000 in seconds (defaults to 5 seconds)"), 2340, 1860, 4575);

    // Created in tab order.
    using DialogRules::IntervalMaxLength;
    d->tbRefreshInterval = box("tbRefreshInterval", 1380, 120, 855, IntervalMaxLength);
    d->tbAlarmInterval = box("tbAlarmInterval", 1380, 480, 855, IntervalMaxLength);
    d->tbAlarmSound = box("tbAlarmSound", 1380, 840, 4335, DialogRules::AlarmSoundMaxLength);
    d->browse = button("Command2", QStringLiteral("&Browse"), 5880, 840, 975, 315);
    d->testAlarm = button("Command3", QStringLiteral("&Test Alarm"), 5880, 1200, 975, 315);
    d->soundsOn = check("Check1_0", QStringLiteral("Turn sounds on?"), 1200, 2175);
    d->startMinimized = check("Check1_2", QStringLiteral("Startup minimized?"), 1500, 2175);
    d->tbScrollInterval = box("tbScrollInterval", 1380, 1800, 855, IntervalMaxLength);
    d->scroll = check("Check1_1", QStringLiteral("Show scrolling display when minimized?"), 2160, 3195);
    d->displayTopMost = check("Check1_3", QStringLiteral("Scrolling display topmost window?"), 2460, 3195);
    d->notifications = check("Check1_4", QStringLiteral("Desktop notifications of CPU states?"), 2760, 3195);
    d->close = button("Command1_0", QStringLiteral("&Close"), 5700, 2700, 1155, 375);
    d->cancel = button("Command1_1", QStringLiteral("&Cancel"), 4440, 2700, 1155, 375);
    d->close->setDefault(true);

    QWidget *order[] = { d->tbRefreshInterval, d->tbAlarmInterval, d->tbAlarmSound, d->browse, d->testAlarm,
        d->soundsOn, d->startMinimized, d->tbScrollInterval, d->scroll, d->displayTopMost, d->notifications, d->close,
        d->cancel };
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(d->browse, &QPushButton::clicked, this, &frmOptions::Command2_Click);
    connect(d->testAlarm, &QPushButton::clicked, this, &frmOptions::Command3_Click);
    connect(d->close, &QPushButton::clicked, this, [this] { Command1_Click(0); });
    connect(d->cancel, &QPushButton::clicked, this, [this] { Command1_Click(1); });

    Form_Load();
}

frmOptions::~frmOptions()
{
    delete d;
}

void frmOptions::Form_Load()
{
    Framework::RegisterWindow(this);
    // The live values, not the stored ones: an interval set from the ticker's menu is not lost.
    d->edited = d->options.values();
    using DialogRules::IntervalMaxLength;
    setBoxText(d->tbAlarmInterval, QString::number(d->edited.AlarmInterval), IntervalMaxLength);
    setBoxText(d->tbAlarmSound, d->edited.AlarmSound, DialogRules::AlarmSoundMaxLength);
    setBoxText(d->tbRefreshInterval, QString::number(d->edited.MonitorInterval), IntervalMaxLength);
    setBoxText(d->tbScrollInterval, QString::number(d->edited.ScrollInterval), IntervalMaxLength);
    d->soundsOn->setChecked(d->edited.SoundsOn);
    d->scroll->setChecked(d->edited.Scroll);
    d->startMinimized->setChecked(d->edited.StartMinimized);
    d->displayTopMost->setChecked(d->edited.DisplayTopMost);
    d->notifications->setChecked(d->edited.Notifications);
}

bool frmOptions::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn && qobject_cast<QLineEdit *>(watched)) {
        // After the line edit's own handling, so a mouse click does not undo the selection.
        QMetaObject::invokeMethod(
            this, [] { bksPublicModule::SelectAllText(); }, Qt::QueuedConnection);
    } else if (event->type() == QEvent::FocusOut && d->isIntervalBox(watched)) {
        auto *box = static_cast<QLineEdit *>(watched);
        const QString checked = DialogRules::RangeChecked(box->text());
        if (checked != box->text())
            box->setText(checked);
    }
    return QDialog::eventFilter(watched, event);
}

void frmOptions::Command1_Click(int index)
{
    if (index == 0) {
        using DialogRules::IntervalOnClose;
        d->edited.AlarmInterval = IntervalOnClose(d->tbAlarmInterval->text(), d->edited.AlarmInterval);
        d->edited.AlarmSound = bksPublicModule::TrimSpaces(d->tbAlarmSound->text());
        d->edited.MonitorInterval = IntervalOnClose(d->tbRefreshInterval->text(), d->edited.MonitorInterval);
        d->edited.ScrollInterval = IntervalOnClose(d->tbScrollInterval->text(), d->edited.ScrollInterval);
        d->edited.SoundsOn = d->soundsOn->isChecked();
        d->edited.Scroll = d->scroll->isChecked();
        d->edited.StartMinimized = d->startMinimized->isChecked();
        d->edited.DisplayTopMost = d->displayTopMost->isChecked();
        d->edited.Notifications = d->notifications->isChecked();
        d->options.setValues(d->edited);
        // A failed write is told by the store itself; the dialog closes either way.
        modTavrik::SaveOptions(d->options);
        accept();
    } else {
        reject();
    }
}

void frmOptions::Command2_Click()
{
    const auto start = DialogRules::SoundBrowseStartFor(
        d->tbAlarmSound->text(), modTavrik::ProgramFolder(), DialogRules::SystemSoundFolder());
    if (!start)
        return;
    // The start folder goes to the picker; the process's current directory is left alone.
    const QString picked = Prompt::OpenFileName(this, QStringLiteral("Select the Alarm Sound..."), start->initialPath(),
        QStringLiteral("Wave Files (*.Wav);;All Files (*.*)"));
    if (!picked.isEmpty())
        setBoxText(d->tbAlarmSound, QDir::toNativeSeparators(picked), DialogRules::AlarmSoundMaxLength);
}

void frmOptions::Command3_Click()
{
    bksPublicModule::PlayWave(
        bksPublicModule::TrimSpaces(d->tbAlarmSound->text()), d->options.soundsOn(), false, false);
}
