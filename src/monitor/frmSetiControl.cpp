#include "monitor/frmSetiControl.h"

#include "core/Schema.h"
#include "core/SettingsStore.h"
#include "core/modTavrik.h"
#include "dialogs/frmCPUInfo.h"
#include "log/frmMessages.h"
#include "monitor/AsyncClientReader.h"
#include "monitor/ClientReader.h"
#include "monitor/StatsInterpreter.h"
#include "monitor/StatusTotals.h"
#include "shared/Framework.h"
#include "shared/bksPublicModule.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPointer>
#include <QProgressBar>

namespace {

const QString CrLf = QStringLiteral("\r\n");
const QColor Blue(0, 0, 255);
const QColor Red(255, 0, 0);
const QColor Black(0, 0, 0);
constexpr qreal PercentPointSize = 11.25;

void setTextColour(QWidget *w, const QColor &colour)
{
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, colour);
    w->setPalette(p);
}

QString nameAndPath(const QString &name, const QString &path)
{
    return CrLf + QStringLiteral("Name: ") + name + CrLf + QStringLiteral("Path: ") + path;
}

} // namespace

class frmSetiControl::Private
{
public:
    explicit Private(StatusTotals &totals)
        : totals(totals)
    {
    }

    StatusTotals &totals;
    QString name;
    QString path;
    bool allowUpdates = false;
    bool putOnDisplay = false;
    MonitorFields fields;
    bool unloaded = false;
    bool reading = false;
    AsyncClientReader *reader = nullptr;
    QPointer<QMdiSubWindow> sub;

    QLabel *lblPath = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QLabel *lblPercent = nullptr;
    QLabel *Label7 = nullptr;
    QLabel *lblTime = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *lblPackage = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *lblPackageDown = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *lblPackageUp = nullptr;
    QFrame *picDownloading = nullptr;
    QLabel *Label3 = nullptr;
};

frmSetiControl::frmSetiControl(StatusTotals &totals, QWidget *parent)
    : QWidget(parent)
    , d(new Private(totals))
{
    d->reader = new AsyncClientReader(this);
    setObjectName(QStringLiteral("frmSetiControl"));
    Framework::SetTag(this, Framework::CpuWindowTag);
    // The named faces first; where they are missing, faces of about their width rather than the
    // platform's (often much wider) default.
    setFont(Framework::FormFont());
    setMinimumSize(Framework::TwipsToPixelsX(4590, this), Framework::TwipsToPixelsY(1410, this));
    resize(minimumSize());

    auto place = [this](QWidget *w, const char *name, int left, int top, int width, int height) {
        w->setObjectName(QLatin1String(name));
        w->setGeometry(Framework::TwipsToPixels(QRect(left, top, width, height), this));
        w->setContextMenuPolicy(Qt::PreventContextMenu);
        w->installEventFilter(this);
    };
    auto label = [&](QWidget *parent, const char *name, const QString &text, int left, int top, int width,
                     int height) {
        auto *l = new QLabel(text, parent);
        place(l, name, left, top, width, height);
        return l;
    };

    d->lblPath = label(this, "lblPath", QString(), 60, 60, 4215, 195);
    d->ProgressBar1 = new QProgressBar(this);
    d->ProgressBar1->setRange(0, 100);
    d->ProgressBar1->setValue(0);
    d->ProgressBar1->setTextVisible(false);
    place(d->ProgressBar1, "ProgressBar1", 120, 360, 3315, 195);
    // Wider than its place on the form, and right-aligned there, so that "100%" fits in the window.
    d->lblPercent = label(this, "lblPercent", QStringLiteral("0%"), 3480, 330, 1050, 255);
    d->lblPercent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    d->lblPercent->setFont(Framework::NamedFont(
        QStringLiteral("Times New Roman"),
        {QStringLiteral("Liberation Serif"), QStringLiteral("Nimbus Roman"), QStringLiteral("Times")}, PercentPointSize));
    d->Label7 = label(this, "Label7", QStringLiteral("CPU Time:"), 60, 720, 855, 195);
    d->lblTime = label(this, "lblTime", QStringLiteral("0"), 900, 720, 3555, 195);
    d->Label5 = label(this, "Label5", QStringLiteral("Packet #:"), 60, 960, 855, 195);
    d->lblPackage = label(this, "lblPackage", QStringLiteral("0"), 900, 960, 555, 195);
    d->Label1 = label(this, "Label1", QStringLiteral("Down:"), 1740, 960, 495, 195);
    d->lblPackageDown = label(this, "lblPackageDown", QStringLiteral("0"), 2280, 960, 555, 195);
    d->Label2 = label(this, "Label2", QStringLiteral("Up:"), 3060, 960, 255, 195);
    d->lblPackageUp = label(this, "lblPackageUp", QStringLiteral("0"), 3480, 960, 555, 195);

    d->picDownloading = new QFrame(this);
    d->picDownloading->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    d->picDownloading->setAutoFillBackground(true); // it covers the rows beneath it
    place(d->picDownloading, "picDownloading", 60, 720, 4455, 615);
    d->Label3 = label(d->picDownloading, "Label3", QStringLiteral("Downloading a new work unit"), 60, 180, 4335, 195);
    d->picDownloading->raise();
    d->picDownloading->hide();

    setContextMenuPolicy(Qt::PreventContextMenu);
}

frmSetiControl::~frmSetiControl()
{
    Framework::UnregisterWindow(this);
    delete d;
}

QString frmSetiControl::CPUName() const
{
    return d->name;
}

void frmSetiControl::setCPUName(const QString &sCPUName)
{
    d->name = sCPUName;
}

QString frmSetiControl::CPUPath() const
{
    return d->path;
}

void frmSetiControl::setCPUPath(const QString &sCPUPath)
{
    d->path = bksPublicModule::AddTrailingChar(sCPUPath);
}

bool frmSetiControl::AllowUpdates() const
{
    return d->allowUpdates;
}

void frmSetiControl::setAllowUpdates(bool bAllowUpdates)
{
    d->allowUpdates = bAllowUpdates;
}

bool frmSetiControl::PutOnDisplay() const
{
    return d->putOnDisplay;
}

void frmSetiControl::setPutOnDisplay(bool bPutOnDisplay)
{
    d->putOnDisplay = bPutOnDisplay;
}

bool frmSetiControl::isUnloaded() const
{
    return d->unloaded;
}

QString frmSetiControl::percentText() const
{
    return d->lblPercent->text();
}

void frmSetiControl::applyNameAndPath()
{
    setWindowTitle(d->name);
    d->lblPath->setText(d->path);
}

bool frmSetiControl::Load(QMdiArea *area)
{
    using bksPublicModule::IsBlank;
    const QString &app = Schema::AppSettings;
    if (IsBlank(d->path) || IsBlank(d->name)) {
        frmCPUInfo dialog(area ? area->window() : nullptr);
        if (const auto v = SettingsStore::getBool(app, Schema::DefaultAllowUpdates, Schema::BoolTrue))
            dialog.setAllowUpdates(*v);
        if (const auto v = SettingsStore::getBool(app, Schema::DefaultPutOnDisplay, Schema::BoolTrue))
            dialog.setPutOnDisplay(*v);
        dialog.showModal();
        d->path = dialog.CPUPath();
        d->name = dialog.CPUName();
        d->allowUpdates = dialog.AllowUpdates();
        d->putOnDisplay = dialog.PutOnDisplay();
    }
    if (IsBlank(d->path) || IsBlank(d->name)) {
        frmMessages::Append(QStringLiteral("Name or path not valid.") + nameAndPath(d->name, d->path));
        Unload();
        return false;
    }

    if (area) {
        d->sub = area->addSubWindow(this);
        connect(d->sub, &QMdiSubWindow::windowStateChanged, this, [this](Qt::WindowStates from, Qt::WindowStates to) {
            if ((to & Qt::WindowActive) && !(from & Qt::WindowActive))
                Q_EMIT activated();
        });
    }
    Framework::RegisterWindow(this);
    applyNameAndPath();

    QPointer<frmSetiControl> self(this);
    GetSetiStats();
    if (!self || d->unloaded) // removed while its first reading let events run
        return false;

    if (const auto n = SettingsStore::getInt16(app, Schema::TotalCPUs, QStringLiteral("0")); n && *n > 0)
        SettingsStore::saveInt(app, Schema::TotalCPUs, *n - 1);
    frmMessages::Append(QStringLiteral("Loaded successfully.") + nameAndPath(d->name, d->path));

    int state = 0;
    if (const auto v = SettingsStore::getInt16(d->name, Schema::WindowState, QStringLiteral("0")); v && *v >= 0 && *v <= 2)
        state = *v;
    Framework::SetWindowStateCode(this, state);
    if (const auto v = SettingsStore::getBool(d->name, Schema::AllowUpdates, Schema::BoolTrue))
        d->allowUpdates = *v;
    if (const auto v = SettingsStore::getBool(d->name, Schema::PutOnDisplay, Schema::BoolTrue))
        d->putOnDisplay = *v;
    if (state == 0) {
        auto fallback = [&](const QString &key, const QString &value) {
            const int builtIn = value.toInt();
            return SettingsStore::getInt32(app, key, value).value_or(builtIn);
        };
        const QRect defaults(fallback(Schema::DefaultSCLeft, Schema::DefaultSCLeftValue),
                             fallback(Schema::DefaultSCTop, Schema::DefaultSCTopValue),
                             fallback(Schema::DefaultSCWidth, Schema::DefaultSCWidthValue),
                             fallback(Schema::DefaultSCHeight, Schema::DefaultSCHeightValue));
        Framework::SetGeometryTwips(this, SettingsStore::getPlacement(d->name, defaults));
        // A frame taller than the one the stored sizes were made for must not cut off the panel.
        QWidget *frame = Framework::FrameOf(this);
        frame->resize(frame->size().expandedTo(frame->minimumSizeHint()));
    }
    if (d->sub) {
        d->sub->show();
        show();
    } else {
        show();
    }
    return true;
}

void frmSetiControl::Unload()
{
    if (d->unloaded)
        return;
    d->unloaded = true;
    using bksPublicModule::IsBlank;
    if (!IsBlank(d->name) && !IsBlank(d->path)) {
        const QString &app = Schema::AppSettings;
        // A count that does not read is taken as no entries yet; at the top of its range the
        // entry cannot be numbered and is left out instead of overflowing.
        const qint16 n = SettingsStore::getInt16(app, Schema::TotalCPUs, QStringLiteral("0")).value_or(0);
        if (n < 32767) {
            SettingsStore::saveInt(app, Schema::TotalCPUs, n + 1);
            SettingsStore::save(QString::number(n), Schema::CPUName, d->name);
        }
        SaveSection();
    }
    Framework::UnregisterWindow(this);
    QWidget *frame = Framework::FrameOf(this);
    frame->close(); // accepted now that the window is unloaded
    frame->deleteLater();
}

void frmSetiControl::SaveSection() const
{
    if (bksPublicModule::IsBlank(d->name) || bksPublicModule::IsBlank(d->path))
        return;
    const int state = Framework::WindowStateCode(this);
    SettingsStore::save(d->name, Schema::CPUPath, d->path);
    SettingsStore::saveInt(d->name, Schema::WindowState, state);
    SettingsStore::saveBool(d->name, Schema::AllowUpdates, d->allowUpdates);
    SettingsStore::saveBool(d->name, Schema::PutOnDisplay, d->putOnDisplay);
    if (state == 0)
        SettingsStore::savePlacement(d->name, Framework::GeometryTwips(this));
}

void frmSetiControl::UpdateDisplay()
{
    if (d->unloaded || bksPublicModule::IsBlank(d->path) || bksPublicModule::IsBlank(d->name))
        return;
    GetSetiStats();
}

void frmSetiControl::GetSetiStats()
{
    // Pending events run at the start and at the end: a timer, a menu command or a close may
    // unload this window meanwhile, after which it must not be touched.
    QPointer<frmSetiControl> self(this);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QCoreApplication::processEvents();
    if (self && !d->unloaded && !d->reading)
        readAndApply();
    QApplication::restoreOverrideCursor();
    QCoreApplication::processEvents();
}

void frmSetiControl::readAndApply()
{
    // The files are read on a worker thread while events keep running; a second update of this
    // window asked for meanwhile is dropped rather than nested.
    QPointer<frmSetiControl> self(this);
    d->reading = true;
    ClientSnapshot files = d->reader->read(d->path);
    if (!self)
        return;
    d->reading = false;
    if (d->unloaded)
        return;
    UpdateInput in;
    in.name = d->name;
    in.path = d->path;
    in.files = std::move(files);
    in.fields = d->fields;
    in.alarmInterval = modTavrik::AlarmInterval;
    const UpdateClock now = UpdateClock::Now();
    in.clock = now.seconds;
    in.date = now.date;
    in.shownDownloaded = d->totals.downloadedCount();
    in.shownUploaded = d->totals.uploadedCount();
    apply(StatsInterpreter::Run(in));
}

void frmSetiControl::apply(const UpdateResult &r)
{
    d->fields = r.fields;
    if (r.percentRed)
        setTextColour(d->lblPercent, *r.percentRed ? Red : Blue);
    if (r.downloadingVisible)
        d->picDownloading->setVisible(*r.downloadingVisible);
    if (r.label3Text)
        d->Label3->setText(*r.label3Text);
    setTextColour(d->Label3, r.fields.label3Red ? Red : Black);
    d->ProgressBar1->setValue(qRound(r.fields.barValue));
    if (r.percentText)
        setPercentText(*r.percentText);
    if (r.timeText)
        d->lblTime->setText(*r.timeText);
    if (r.packageDownText)
        d->lblPackageDown->setText(*r.packageDownText);
    if (r.packageUpText)
        d->lblPackageUp->setText(*r.packageUpText);
    if (r.packageText)
        d->lblPackage->setText(*r.packageText);
    if (r.playAlarm)
        bksPublicModule::PlayWave(modTavrik::AlarmSound, false, false);

    if (r.cpuSeconds)
        d->totals.setContribution(this, *r.cpuSeconds);
    if (r.downloaded)
        d->totals.setDownloaded(*r.downloaded);
    if (r.uploaded)
        d->totals.setUploaded(*r.uploaded);
    if (r.totalTimeText)
        d->totals.setTotalTimeText(*r.totalTimeText);

    for (const QString &text : r.log)
        frmMessages::Append(text);
}

void frmSetiControl::setPercentText(const QString &text)
{
    // Seven significant digits do not always fit beside the bar: the face steps down until they do.
    QFont f = d->lblPercent->font();
    f.setPointSizeF(PercentPointSize);
    const int room = d->lblPercent->width();
    while (f.pointSizeF() > 6.5 && QFontMetrics(f).horizontalAdvance(text) > room)
        f.setPointSizeF(f.pointSizeF() - 0.75);
    d->lblPercent->setFont(f);
    d->lblPercent->setText(text);
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

void frmSetiControl::mouseDoubleClickEvent(QMouseEvent *event)
{
    // Only the window's background: a control's double click ends here too, by propagation.
    if (event->button() == Qt::LeftButton && !childAt(event->position().toPoint()))
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
