#include "monitor/frmSetiControl.h"

#include "fleet/Fleet.h"
#include "settings/Conv.h"
#include "settings/Schema.h"
#include "settings/SettingsStore.h"
#include "shared/ElidedLabel.h"
#include "shared/Framework.h"
#include "shared/StateColours.h"
#include "shared/bksPublicWindows.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPointer>
#include <QProgressBar>

#include <optional>

namespace {

constexpr qreal PercentPointSize = 11.25;

void setTextColour(QWidget *w, const QColor &colour)
{
    // A palette set anew re-polishes and repaints the label even when nothing changed.
    if (w->palette().color(QPalette::WindowText) == colour)
        return;
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, colour);
    w->setPalette(p);
}

void setLabelText(QLabel *label, const QString &text)
{
    if (label->text() != text)
        label->setText(text);
}

} // namespace

class frmSetiControl::Private
{
public:
    Private(Fleet &fleet, quint64 key)
        : fleet(fleet)
        , key(key)
    {
    }

    // A window outlives its record only between a removal and its deferred deletion; it then
    // shows an empty one of its own.
    Cpu &record() const
    {
        Cpu *cpu = fleet.find(key);
        return cpu ? *cpu : detached;
    }

    Fleet &fleet;
    const quint64 key;
    mutable Cpu detached;
    std::optional<StateColours::Set> colours;
    QPalette coloursFor;
    bool storedPlace = false;
    bool unloaded = false;
    QPointer<QMdiSubWindow> sub;
    QString spokenTip; // the tip and percentage the screen reader's description was made for
    int spokenPercent = -1;

    // The controls sit on a plain panel of their own: a change of a label's text then stops at
    // that panel instead of making the MDI frame lay itself out again.
    QWidget *body = nullptr;
    ElidedLabel *pathLabel = nullptr; // lblPath
    QLabel *stateLabel = nullptr; // lblState: the state in words, beside the path
    QProgressBar *bar = nullptr; // ProgressBar1
    QLabel *percent = nullptr; // lblPercent
    qreal percentPoints = PercentPointSize;
    QLabel *cpuTime = nullptr; // lblTime
    QLabel *unitNumber = nullptr; // lblPackage
    QLabel *downloaded = nullptr; // lblPackageDown
    QLabel *uploaded = nullptr; // lblPackageUp
    QFrame *downloadPanel = nullptr; // picDownloading
    QLabel *downloadCaption = nullptr; // Label3
};

frmSetiControl::frmSetiControl(Fleet &fleet, quint64 key, QWidget *parent)
    : QWidget(parent)
    , d(new Private(fleet, key))
{
    setObjectName(QStringLiteral("frmSetiControl"));
    Framework::SetTag(this, Framework::CpuWindowTag);
    // The named faces first; where they are missing, faces of about their width rather than the
    // platform's (often much wider) default.
    setFont(Framework::FormFont());
    // Focus on activation, so the Menu key and Shift+F10 reach the window.
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(Framework::TwipsToPixelsX(4590, this), Framework::TwipsToPixelsY(1410, this));
    resize(minimumSize());

    auto place = [this](QWidget *w, const char *name, int left, int top, int width, int height) {
        w->setObjectName(QLatin1String(name));
        w->setGeometry(Framework::TwipsToPixels(QRect(left, top, width, height), this));
        w->setContextMenuPolicy(Qt::PreventContextMenu);
        w->installEventFilter(this);
    };
    auto label = [&](QWidget *parent, const char *name, const QString &text, int left, int top, int width, int height) {
        auto *l = new QLabel(text, parent);
        place(l, name, left, top, width, height);
        return l;
    };

    d->body = new QWidget(this);
    d->body->setObjectName(QStringLiteral("body"));
    QWidget *body = d->body;
    // A long path loses its middle, where the folders that tell paths apart seldom are.
    d->pathLabel = new ElidedLabel(Qt::ElideMiddle, body);
    place(d->pathLabel, "lblPath", 60, 60, 4215, 195);
    d->stateLabel = label(body, "lblState", QString(), 60, 60, 4215, 195);
    d->stateLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    d->stateLabel->hide();
    d->bar = new QProgressBar(body);
    d->bar->setRange(0, 100);
    d->bar->setValue(0);
    d->bar->setTextVisible(false);
    place(d->bar, "ProgressBar1", 120, 360, 3315, 195);
    // Wider than its place on the form, and right-aligned there, so that "100%" fits in the window.
    d->percent = label(body, "lblPercent", QStringLiteral("0%"), 3480, 330, 1050, 255);
    d->percent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    d->percent->setFont(Framework::NamedFont(QStringLiteral("Times New Roman"),
        { QStringLiteral("Liberation Serif"), QStringLiteral("Nimbus Roman"), QStringLiteral("Times") },
        PercentPointSize));
    label(body, "Label7", QStringLiteral("CPU Time:"), 60, 720, 855, 195);
    d->cpuTime = label(body, "lblTime", QStringLiteral("0"), 900, 720, 3555, 195);
    label(body, "Label5", QStringLiteral("Packet #:"), 60, 960, 855, 195);
    d->unitNumber = label(body, "lblPackage", QStringLiteral("0"), 900, 960, 555, 195);
    label(body, "Label1", QStringLiteral("Down:"), 1740, 960, 495, 195);
    d->downloaded = label(body, "lblPackageDown", QStringLiteral("0"), 2280, 960, 555, 195);
    label(body, "Label2", QStringLiteral("Up:"), 3060, 960, 255, 195);
    d->uploaded = label(body, "lblPackageUp", QStringLiteral("0"), 3480, 960, 555, 195);

    d->downloadPanel = new QFrame(body);
    d->downloadPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    d->downloadPanel->setAutoFillBackground(true); // it covers the rows beneath it
    place(d->downloadPanel, "picDownloading", 60, 720, 4455, 615);
    d->downloadCaption
        = label(d->downloadPanel, "Label3", QStringLiteral("Downloading a new work unit"), 60, 180, 4335, 195);
    d->downloadPanel->raise();
    d->downloadPanel->hide();
    // What a screen reader names each value by; the window's description is its state.
    const std::pair<QWidget *, const char *> spoken[]
        = { { d->pathLabel, "Folder" }, { d->stateLabel, "State" }, { d->bar, "Progress of the work unit" },
              { d->percent, "Done" }, { d->cpuTime, "CPU time" }, { d->unitNumber, "Work units" },
              { d->downloaded, "Downloaded" }, { d->uploaded, "Uploaded" }, { d->downloadCaption, "Download" } };
    for (const auto &[w, name] : spoken)
        w->setAccessibleName(QString::fromLatin1(name));
    applyColours();

    setContextMenuPolicy(Qt::PreventContextMenu);
}

frmSetiControl::~frmSetiControl()
{
    Framework::UnregisterWindow(this);
    delete d;
}

QString frmSetiControl::CPUName() const
{
    return d->record().name;
}

void frmSetiControl::setCPUName(const QString &sCPUName)
{
    d->record().name = sCPUName;
}

QString frmSetiControl::CPUPath() const
{
    return d->record().path;
}

void frmSetiControl::setCPUPath(const QString &sCPUPath)
{
    d->record().path = Cpu::NormalisedPath(sCPUPath);
}

bool frmSetiControl::AllowUpdates() const
{
    return d->record().allowUpdates;
}

void frmSetiControl::setAllowUpdates(bool bAllowUpdates)
{
    d->record().allowUpdates = bAllowUpdates;
}

bool frmSetiControl::PutOnDisplay() const
{
    return d->record().putOnDisplay;
}

void frmSetiControl::setPutOnDisplay(bool bPutOnDisplay)
{
    d->record().putOnDisplay = bPutOnDisplay;
}

bool frmSetiControl::isUnloaded() const
{
    return d->unloaded;
}

quint64 frmSetiControl::key() const
{
    return d->key;
}

const Cpu *frmSetiControl::cpu() const
{
    return d->fleet.find(d->key);
}

QString frmSetiControl::percentText() const
{
    return d->percent->text();
}

const CpuStatus &frmSetiControl::status() const
{
    return d->record().status;
}

QString frmSetiControl::attentionWords() const
{
    const CpuStatus &status = d->record().status;
    return status.state == CpuState::Working || status.state == CpuState::Unknown ? QString() : status.words();
}

bool frmSetiControl::hasStoredPlace() const
{
    return d->storedPlace;
}

void frmSetiControl::Load(QMdiArea *area, bool activate)
{
    const QString &app = Schema::AppSettings;
    const QString name = d->record().name;
    if (area) {
        d->sub = area->addSubWindow(this);
        connect(d->sub, &QMdiSubWindow::windowStateChanged, this, [this](Qt::WindowStates from, Qt::WindowStates to) {
            if ((to & Qt::WindowActive) && !(from & Qt::WindowActive))
                Q_EMIT activated();
        });
    }
    Framework::RegisterWindow(this);
    showRecord();

    int state = 0;
    if (const auto v = SettingsStore::getInt16(name, Schema::WindowState, QStringLiteral("0")); v && *v >= 0 && *v <= 2)
        state = *v;
    Framework::SetWindowStateCode(this, state);
    if (state == 0) {
        auto fallback = [&](const QString &key, const QString &value) {
            return Conv::ParseNumber(SettingsStore::get(app, key, value)).value_or(value.toInt());
        };
        const QRect builtIn(Schema::DefaultSCLeftValue.toInt(), Schema::DefaultSCTopValue.toInt(),
            Schema::DefaultSCWidthValue.toInt(), Schema::DefaultSCHeightValue.toInt());
        const QRect defaults
            = SettingsStore::BoundPlacement(fallback(Schema::DefaultSCLeft, Schema::DefaultSCLeftValue),
                fallback(Schema::DefaultSCTop, Schema::DefaultSCTopValue),
                fallback(Schema::DefaultSCWidth, Schema::DefaultSCWidthValue),
                fallback(Schema::DefaultSCHeight, Schema::DefaultSCHeightValue), builtIn,
                SettingsStore::DefaultScreenTwips);
        d->storedPlace = !SettingsStore::get(name, Schema::Top, QString()).isEmpty();
        Framework::SetGeometryTwips(this, SettingsStore::getPlacement(name, defaults));
        // A frame taller than the one the stored sizes were made for must not cut off the panel.
        QWidget *frame = Framework::FrameOf(this);
        frame->resize(frame->size().expandedTo(frame->minimumSizeHint()));
    }
    // A window shown enabled becomes the active one, and each activation walks every window of
    // the area: a thousand made at start-up would cost seconds.
    if (d->sub && !activate)
        d->sub->setEnabled(false);
    if (d->sub)
        d->sub->show();
    show();
    if (d->sub)
        d->sub->setEnabled(true);
}

void frmSetiControl::Unload()
{
    if (d->unloaded)
        return;
    d->unloaded = true;
    Framework::UnregisterWindow(this);
    QWidget *frame = Framework::FrameOf(this);
    frame->close(); // accepted now that the window is unloaded
    frame->deleteLater();
}

void frmSetiControl::savePlace() const
{
    const Cpu &cpu = d->record();
    if (bksPublicModule::IsBlank(cpu.name) || bksPublicModule::IsBlank(cpu.path))
        return;
    const int state = Framework::WindowStateCode(this);
    const SettingsStore::Batch batch;
    SettingsStore::saveInt(cpu.name, Schema::WindowState, state);
    if (state == 0)
        SettingsStore::savePlacement(cpu.name, Framework::GeometryTwips(this));
}

void frmSetiControl::showRecord()
{
    if (d->unloaded)
        return;
    const Cpu &cpu = d->record();
    const CpuView &v = cpu.view;
    if (windowTitle() != cpu.name)
        setWindowTitle(cpu.name);
    d->pathLabel->setFullText(cpu.path);
    if (d->downloadPanel->isVisibleTo(this) != v.downloadingVisible)
        d->downloadPanel->setVisible(v.downloadingVisible);
    setLabelText(d->downloadCaption, v.downloadCaption);
    if (const int value = qRound(cpu.fields.barPercent); value != d->bar->value()) {
        // The bar would repaint itself at once, walking every window of the area each time; it is
        // painted with the rest at the next return to the event loop instead.
        d->bar->setUpdatesEnabled(false);
        d->bar->setValue(value);
        d->bar->setUpdatesEnabled(true);
    }
    setPercentText(v.percentText);
    setLabelText(d->cpuTime, v.cpuTimeText);
    setLabelText(d->downloaded, v.downloadedText);
    setLabelText(d->uploaded, v.uploadedText);
    setLabelText(d->unitNumber, v.unitNumberText);
    applyColours();
    showState();
}

void frmSetiControl::applyColours()
{
    const Cpu &cpu = d->record();
    // Worked out once a palette: the contrast search is not free, and readings come every cycle.
    if (!d->colours || d->coloursFor != palette()) {
        d->colours = StateColours::For(palette());
        d->coloursFor = palette();
    }
    const StateColours::Set &colours = *d->colours;
    setTextColour(d->percent, cpu.view.percentRed ? colours.stalled : colours.moving);
    setTextColour(d->downloadCaption, cpu.fields.downloadNoticeRed ? colours.stalled : colours.text);
    setTextColour(d->stateLabel, cpu.status.needsAttention() ? colours.stalled : colours.text);
}

void frmSetiControl::showState()
{
    // In words as well as in colour: in the path's row when something is amiss, and as the tip.
    const QString words = attentionWords();
    const QString tip = d->record().name + QStringLiteral(": ") + d->record().status.words();
    // Each description set is an event to any screen reader: they are set only when they change.
    const int percent = int(d->record().status.percent);
    if (tip != d->spokenTip || percent != d->spokenPercent) {
        setAccessibleDescription(d->record().status.spoken(d->record().name));
        d->spokenTip = tip;
        d->spokenPercent = percent;
    }
    if (d->bar->accessibleDescription() != d->percent->text())
        d->bar->setAccessibleDescription(d->percent->text());
    // Most readings change nothing here: the row is laid out and coloured again only when it does.
    if (tip == toolTip() && words == d->stateLabel->text() && d->stateLabel->isVisibleTo(this) == !words.isEmpty())
        return;
    setToolTip(tip);
    setLabelText(d->stateLabel, words);
    d->stateLabel->setVisible(!words.isEmpty());
    const QRect row = Framework::TwipsToPixels(QRect(60, 60, 4215, 195), this);
    const int wordsWidth = words.isEmpty() ? 0 : d->stateLabel->fontMetrics().horizontalAdvance(words) + 8;
    d->stateLabel->setGeometry(row.right() - wordsWidth + 1, row.top(), wordsWidth, row.height());
    d->pathLabel->resize(row.width() - wordsWidth, row.height());
}

void frmSetiControl::setPercentText(const QString &text)
{
    if (d->percent->text() == text)
        return;
    // Seven significant digits do not always fit beside the bar: the face steps down until they do.
    QFont f = d->percent->font();
    f.setPointSizeF(PercentPointSize);
    const int room = d->percent->width();
    while (f.pointSizeF() > 6.5 && QFontMetrics(f).horizontalAdvance(text) > room)
        f.setPointSizeF(f.pointSizeF() - 0.75);
    if (f.pointSizeF() != d->percentPoints) {
        d->percentPoints = f.pointSizeF();
        d->percent->setFont(f);
    }
    d->percent->setText(text);
}

void frmSetiControl::closeEvent(QCloseEvent *event)
{
    // The user's close box keeps the CPU and only minimises it; an unload or the end of the
    // program closes it for good.
    if (d->unloaded || QCoreApplication::closingDown()) {
        event->accept();
        return;
    }
    event->ignore();
    Framework::SetWindowStateCode(this, 1);
}

void frmSetiControl::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        applyColours();
    if (event->type() == QEvent::ActivationChange && !d->sub && isActiveWindow())
        Q_EMIT activated();
    QWidget::changeEvent(event);
}

void frmSetiControl::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::RightButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    Q_EMIT popupMenuRequested(event->globalPosition().toPoint());
}

void frmSetiControl::keyPressEvent(QKeyEvent *event)
{
    if (!Framework::IsPopupMenuKey(event)) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    Q_EMIT popupMenuRequested(mapToGlobal(rect().center()));
}

void frmSetiControl::contextMenuEvent(QContextMenuEvent *event)
{
    // A mouse's menu already opened on the press; a keyboard request the key handler missed opens it here.
    if (event->reason() != QContextMenuEvent::Keyboard) {
        QWidget::contextMenuEvent(event);
        return;
    }
    event->accept();
    Q_EMIT popupMenuRequested(mapToGlobal(rect().center()));
}

void frmSetiControl::mouseDoubleClickEvent(QMouseEvent *event)
{
    // Only the window's background: a control's double click ends here too, by propagation.
    const QWidget *child = childAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && (!child || child == d->body))
        Q_EMIT editRequested();
    QWidget::mouseDoubleClickEvent(event);
}

bool frmSetiControl::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress && watched != this) {
        auto *me = static_cast<QMouseEvent *>(event);
        if (me->button() == Qt::RightButton) {
            Q_EMIT popupMenuRequested(me->globalPosition().toPoint());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmSetiControl::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    d->body->setGeometry(rect());
}
