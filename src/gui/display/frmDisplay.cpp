#include "display/frmDisplay.h"

#include "display/DisplayTicker.h"
#include "settings/Options.h"
#include "settings/Schema.h"
#include "settings/SettingsStore.h"
#include "shared/Framework.h"
#include "shared/Prompt.h"
#include "shared/StateColours.h"
#include "shared/bksPublicWindows.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>

namespace {

// Twips
constexpr int LabelTop = 0;
constexpr int LabelHeight = 255;
constexpr int PercentLeft = 60;
constexpr int PercentWidth = 915;
constexpr int NameLeft = 1020;
constexpr int MinWidth = 2000;
constexpr int MinHeight = 255;
constexpr int MovingHeight = 550;
// The title strip takes what moving mode adds above the text line.
constexpr int TitleHeight = MovingHeight - LabelHeight;

const QString MovingCaption = QStringLiteral("Tavrik Display");

// How much of the window must lie on a screen for the user to find and grab it, in pixels.
constexpr int GrabWidth = 16;
constexpr int GrabHeight = 8;

bool OnSomeScreen(const QRect &r)
{
    const auto screens = QGuiApplication::screens();
    for (const QScreen *s : screens) {
        const QRect part = r.intersected(s->geometry());
        if (part.width() >= qMin(r.width(), GrabWidth) && part.height() >= qMin(r.height(), GrabHeight))
            return true;
    }
    return false;
}

// Keeps as much of the intended place as the primary screen allows.
QPoint PlaceOnPrimary(const QRect &r)
{
    const QScreen *s = QGuiApplication::primaryScreen();
    if (!s)
        return r.topLeft();
    const QRect g = s->geometry();
    const int x = qMax(g.left(), qMin(r.left(), g.left() + g.width() - r.width()));
    const int y = qMax(g.top(), qMin(r.top(), g.top() + g.height() - r.height()));
    return QPoint(x, y);
}

} // namespace

class frmDisplay::Private : public QObject
{
public:
    Private(frmDisplay *owner, Options &options, DisplayTicker::ViewSource source);

    void build();
    QAction *addItem(const char *name, const QString &caption, bool checkable = false);
    void setCaption(const QString &caption);
    void layoutLabels();
    void showTexts(const QString &percent, const QString &name, const QString &words, CpuState state);
    void setMovingMode(bool on);
    void raiseTopToZero();
    void askUnload();
    void finishUnload();
    void changeInterval();

    bool eventFilter(QObject *watched, QEvent *event) override;
    bool mouseEvent(QWidget *target, QMouseEvent *e);

    int px(int twips) const { return Framework::TwipsToPixelsX(twips, q); }
    int py(int twips) const { return Framework::TwipsToPixelsY(twips, q); }

    frmDisplay *q;
    Options &options;
    DisplayTicker::ViewSource views;
    DisplayTicker ticker;
    QLabel *titleStrip = nullptr;
    QLabel *lblPercent = nullptr;
    QLabel *lblCPUName = nullptr;
    QTimer *Timer1 = nullptr;
    QMenu *mnuPop = nullptr;
    QAction *mnuPopAllowSizing = nullptr;
    QAction *mnuPopOnTop = nullptr;
    QAction *mnuPopMainWindow = nullptr;
    QAction *mnuPopAllowUpdate = nullptr;
    QAction *mnuPopRefresh = nullptr;
    QAction *mnuPopRefreshInterval = nullptr;
    QAction *mnuPopClose = nullptr;

    bool enableTimer = false;
    bool unloaded = false;
    int baseWidth = 0; // the placement's width: the display grows from it to fit a line, never shrinks below
    int percentWidth = 0; // the percentage label's, grown to fit its text
    QPalette normalPalette; // for a CPU that needs no attention

    // Dragging the window while moving is allowed, and telling a click from a drag.
    QWidget *pressedOn = nullptr;
    QPoint grabOffset;
    QPoint pressPos;
    bool dragged = false;
};

frmDisplay::Private::Private(frmDisplay *owner, Options &options, DisplayTicker::ViewSource source)
    : QObject(owner)
    , q(owner)
    , options(options)
    , views(source)
    , ticker(std::move(source))
{
}

QAction *frmDisplay::Private::addItem(const char *name, const QString &caption, bool checkable)
{
    auto *a = new QAction(caption, mnuPop);
    a->setObjectName(QLatin1String(name));
    a->setCheckable(checkable);
    mnuPop->addAction(a);
    return a;
}

void frmDisplay::Private::build()
{
    q->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);

    // Qt has no desktop colour: the selection colours are the nearest pair the palette offers,
    // a strong background under the same light text the active title bar would carry.
    const QPalette app = QApplication::palette();
    QPalette pal = q->palette();
    const QColor back = app.color(QPalette::Active, QPalette::Highlight);
    const QColor text = app.color(QPalette::Active, QPalette::HighlightedText);
    for (auto group : { QPalette::Active, QPalette::Inactive, QPalette::Disabled }) {
        pal.setColor(group, QPalette::Window, back);
        pal.setColor(group, QPalette::WindowText, text);
    }
    q->setPalette(pal);
    normalPalette = pal;
    q->setAutoFillBackground(true);

    titleStrip = new QLabel(q);
    titleStrip->setObjectName(QStringLiteral("titleStrip"));
    titleStrip->setAutoFillBackground(true);
    QPalette stripPal = pal;
    for (auto group : { QPalette::Active, QPalette::Inactive, QPalette::Disabled })
        stripPal.setColor(group, QPalette::Window, back.darker(160));
    titleStrip->setPalette(stripPal);
    QFont bold = titleStrip->font();
    bold.setBold(true);
    titleStrip->setFont(bold);
    titleStrip->setIndent(px(90));
    titleStrip->setCursor(Qt::SizeAllCursor);
    titleStrip->hide();

    lblPercent = new QLabel(q);
    lblPercent->setObjectName(QStringLiteral("lblPercent"));
    lblCPUName = new QLabel(q);
    lblCPUName->setObjectName(QStringLiteral("lblCPUName"));
    for (QLabel *l : { lblPercent, lblCPUName })
        l->setAlignment(Qt::AlignCenter);

    Timer1 = new QTimer(q);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, q, &frmDisplay::Timer1_Timer);

    mnuPop = new QMenu(q);
    mnuPop->setObjectName(QStringLiteral("mnuPop"));
    mnuPopAllowSizing = addItem("mnuPopAllowSizing", QStringLiteral("Allow &Moving"), true);
    mnuPopOnTop = addItem("mnuPopOnTop", QStringLiteral("On &Top"), true);
    mnuPopMainWindow = addItem("mnuPopMainWindow", QStringLiteral("&Show Main Window"));
    mnuPop->addSeparator()->setObjectName(QStringLiteral("mnuPopBar1"));
    mnuPopAllowUpdate = addItem("mnuPopAllowUpdate", QStringLiteral("Allow U&pdate"), true);
    mnuPopRefresh = addItem("mnuPopRefresh", QStringLiteral("&Update Now"));
    mnuPopRefreshInterval = addItem("mnuPopRefreshInterval", QStringLiteral("Update &Interval..."));
    mnuPop->addSeparator()->setObjectName(QStringLiteral("mnuPopBar2"));
    mnuPopClose = addItem("mnuPopClose", QStringLiteral("&Close Display"));

    connect(mnuPopAllowSizing, &QAction::triggered, this, [this](bool on) { setMovingMode(on); });
    connect(mnuPopOnTop, &QAction::triggered, this, [this](bool on) { bksPublicModule::SetTopMost(q, on, false); });
    connect(mnuPopMainWindow, &QAction::triggered, q, &frmDisplay::showMainWindowRequested);
    connect(mnuPopAllowUpdate, &QAction::triggered, this, [this](bool on) {
        if (on)
            Timer1->start();
        else
            Timer1->stop();
    });
    connect(mnuPopRefresh, &QAction::triggered, this, [this] {
        ticker.RequestUpdateNow();
        q->Timer1_Timer();
    });
    connect(mnuPopRefreshInterval, &QAction::triggered, this, [this] { changeInterval(); });
    connect(mnuPopClose, &QAction::triggered, q, &frmDisplay::Unload);

    for (QWidget *w : { static_cast<QWidget *>(q), static_cast<QWidget *>(titleStrip),
             static_cast<QWidget *>(lblPercent), static_cast<QWidget *>(lblCPUName) })
        w->installEventFilter(this);

    q->setMinimumSize(px(MinWidth), py(MinHeight));
}

void frmDisplay::Private::setCaption(const QString &caption)
{
    q->setWindowTitle(caption);
    titleStrip->setText(caption);
    titleStrip->setVisible(!caption.isEmpty());
    layoutLabels();
}

void frmDisplay::Private::layoutLabels()
{
    const int top = titleStrip->isVisibleTo(q) ? py(TitleHeight) : 0;
    titleStrip->setGeometry(0, 0, q->width(), top);
    const int pw = qMax(percentWidth, px(PercentWidth));
    const int nameLeft = px(PercentLeft) + pw + px(NameLeft - PercentLeft - PercentWidth);
    lblPercent->setGeometry(px(PercentLeft), top + py(LabelTop), pw, py(LabelHeight));
    lblCPUName->setGeometry(nameLeft, top + py(LabelTop), qMax(0, q->width() - nameLeft), py(LabelHeight));
}

void frmDisplay::Private::showTexts(const QString &percent, const QString &name, const QString &words, CpuState state)
{
    // The whole percentage and the whole name always show: the display grows (within its screen)
    // to hold them, and only the state words give way.
    const QFontMetrics pfm(lblPercent->font());
    const QFontMetrics nfm(lblCPUName->font());
    percentWidth = pfm.horizontalAdvance(percent) + 2 * pfm.averageCharWidth();
    const int gap = px(NameLeft - PercentLeft - PercentWidth);
    const int needed = px(PercentLeft) + qMax(percentWidth, px(PercentWidth)) + gap
        + nfm.horizontalAdvance(DisplayTicker::Line(name, words)) + 2 * nfm.averageCharWidth();
    const QRect area = q->screen() ? q->screen()->availableGeometry() : QRect();
    int w = qMax(baseWidth, needed);
    if (area.isValid())
        w = qMin(w, area.width());
    if (w != q->width()) {
        q->resize(w, q->height());
        if (area.isValid() && q->x() + w > area.right() + 1)
            q->move(area.right() + 1 - w, q->y());
    }
    layoutLabels();
    lblPercent->setText(percent);
    const int room = lblCPUName->width() - 2 * nfm.averageCharWidth();
    lblCPUName->setText(
        DisplayTicker::FitLine(name, words, room, [&nfm](const QString &t) { return nfm.horizontalAdvance(t); }));
    // A CPU that needs the user is drawn in its state's colour, under text that stays readable on it.
    QPalette pal = normalPalette;
    if (state >= CpuState::Slow) {
        const QColor fill = StateColours::Fill(state);
        for (auto group : { QPalette::Active, QPalette::Inactive, QPalette::Disabled }) {
            pal.setColor(group, QPalette::Window, fill);
            pal.setColor(group, QPalette::WindowText, StateColours::Readable(Qt::white, fill));
        }
    }
    if (q->palette() != pal)
        q->setPalette(pal);
}

void frmDisplay::Private::setMovingMode(bool on)
{
    if (on) {
        setCaption(MovingCaption);
        q->resize(q->width(), py(MovingHeight));
    } else {
        setCaption(QString());
        q->move(q->x(), q->y() + py(MovingHeight));
        q->resize(q->width(), lblCPUName->height());
    }
    raiseTopToZero();
}

void frmDisplay::Private::raiseTopToZero()
{
    if (q->y() < 0)
        q->move(q->x(), 0);
}

void frmDisplay::Private::askUnload()
{
    if (Prompt::AskYesNo(q, QStringLiteral("Unload the Tavrik Display?"), QStringLiteral("Tavrik")))
        q->Unload();
}

void frmDisplay::Private::changeInterval()
{
    const QString reply
        = Prompt::InputBox(q, QStringLiteral("Enter a value between 0 - 30000 seconds (default is 5 seconds)"),
            QStringLiteral("Scroll Update Interval..."), QStringLiteral("5"));
    if (const auto v = ScrollIntervalFromReply(reply))
        options.setScrollInterval(*v);
}

void frmDisplay::Private::finishUnload()
{
    if (unloaded)
        return;
    unloaded = true;
    Timer1->stop();
    mnuPop->close();
    if (Framework::WindowStateCode(q) != 1)
        SettingsStore::savePlacement(Schema::SDisplay, Framework::GeometryTwips(q));
    Framework::UnregisterWindow(q);
    Q_EMIT q->unloaded();
    q->deleteLater();
}

bool frmDisplay::Private::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Resize:
        if (watched == q)
            layoutLabels();
        break;
    case QEvent::Close:
        // Closed from outside (window manager, program end): unload the same way.
        if (watched == q)
            finishUnload();
        break;
    case QEvent::KeyPress:
        if (watched == q && Framework::IsPopupMenuKey(static_cast<QKeyEvent *>(event))) {
            mnuPop->popup(lblCPUName->mapToGlobal(QPoint(0, lblCPUName->height())));
            return true;
        }
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        if (auto *w = qobject_cast<QWidget *>(watched))
            return mouseEvent(w, static_cast<QMouseEvent *>(event));
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

bool frmDisplay::Private::mouseEvent(QWidget *target, QMouseEvent *e)
{
    // None of these widgets has mouse handling of its own; taking every event here also keeps a
    // label's event from reaching the window a second time.
    const QPoint global = e->globalPosition().toPoint();
    switch (e->type()) {
    case QEvent::MouseButtonPress:
        if (e->button() == Qt::RightButton) {
            if (target != titleStrip)
                mnuPop->popup(global);
            return true;
        }
        if (e->button() == Qt::LeftButton) {
            pressedOn = target;
            pressPos = global;
            grabOffset = global - q->pos();
            dragged = false;
        }
        return true;
    case QEvent::MouseMove:
        if (pressedOn && (e->buttons() & Qt::LeftButton) && mnuPopAllowSizing->isChecked()) {
            if (!dragged && (global - pressPos).manhattanLength() >= QApplication::startDragDistance())
                dragged = true;
            if (dragged)
                q->move(global - grabOffset);
        }
        return true;
    case QEvent::MouseButtonRelease: {
        if (e->button() != Qt::LeftButton)
            return true;
        const bool click = pressedOn == target && !dragged && target->rect().contains(e->position().toPoint());
        pressedOn = nullptr;
        dragged = false;
        if (click && target == lblPercent)
            askUnload();
        return true;
    }
    case QEvent::MouseButtonDblClick:
        // The second press of a double click is not a press: it neither clicks nor drags.
        pressedOn = nullptr;
        if (e->button() == Qt::LeftButton && (target == q || target == lblCPUName))
            askUnload();
        return true;
    default:
        return false;
    }
}

frmDisplay::frmDisplay(Options &options, DisplayTicker::ViewSource cpus, QWidget *parent)
    : QWidget(parent)
    , d(new Private(this, options, std::move(cpus)))
{
    d->build();
}

frmDisplay::~frmDisplay()
{
    // d is a child QObject and goes with the window.
    Framework::UnregisterWindow(this);
}

void frmDisplay::setEnableTimer(bool bEnableTimer)
{
    d->enableTimer = bEnableTimer;
}

void frmDisplay::Load()
{
    Framework::RegisterWindow(this);

    if (d->enableTimer)
        d->Timer1->start();
    else
        d->Timer1->stop();
    d->mnuPopAllowUpdate->setChecked(d->enableTimer);

    d->setCaption(SettingsStore::get(Schema::SDisplay, Schema::Caption, QString()));
    Framework::SetGeometryTwips(this, SettingsStore::getPlacement(Schema::SDisplay, Schema::DisplayPlacement));

    bksPublicModule::SetTopMost(this, d->options.displayTopMost(), false);
    d->mnuPopOnTop->setChecked(d->options.displayTopMost());
    d->raiseTopToZero();

    // A place remembered from a screen that is gone would leave the display where no one sees it.
    const QRect r(pos(), size());
    if (!OnSomeScreen(r))
        move(PlaceOnPrimary(r));
    d->baseWidth = width();

    // The first frame already holds what the display is about: the labels in their places and
    // the CPU the first change will show, without moving the display's own order on.
    d->layoutLabels();
    const QList<WindowView> views = d->views();
    for (const WindowView &v : views) {
        if (DisplayTicker::Qualifies(v)) {
            d->showTexts(v.percentText.value_or(QString()), v.caption, v.stateWords, v.state);
            break;
        }
    }
    show();
}

void frmDisplay::Unload()
{
    if (d->unloaded)
        return;
    d->finishUnload();
    close();
}

bool frmDisplay::isUnloaded() const
{
    return d->unloaded;
}

void frmDisplay::Timer1_Timer()
{
    if (d->ticker.Tick(d->options.scrollInterval()))
        d->showTexts(d->ticker.shownPercent(), d->ticker.shownName(), d->ticker.shownWords(), d->ticker.shownState());
}
