#include "dialogs/frmAbout.h"

#include "dialogs/AboutContent.h"
#include "dialogs/DialogLayout.h"
#include "settings/Options.h"
#include "shared/Framework.h"
#include "shared/bksPublicWindows.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

class frmAbout::Private
{
public:
    QLabel *Image1 = nullptr;
    QPushButton *Command1 = nullptr;
    QTimer *Timer1 = nullptr;
    bool enableTimer = false;
    bool clickToggle = false;
    bool loaded = false;
    bool closing = false;
    // Activation from another application is not an activation of the box (no sound then).
    bool playOnActivate = true;
};

namespace {

// The box plays its sounds whatever the SoundsOn option says.
constexpr bool AboutSoundsOn = true;

QString soundPath(const QString &file)
{
    return bksPublicModule::AddTrailingChar(modTavrik::ProgramFolder()) + file;
}

} // namespace

frmAbout::frmAbout(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , d(new Private)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Tavrik..."));
    setFont(Framework::FormFont());
    setFixedSize(DialogLayout::ClientSize(this, 5820, 4005));

    using DialogLayout::Place;
    d->Image1 = new QLabel(this);
    d->Image1->setObjectName(QStringLiteral("Image1"));
    d->Image1->setPixmap(AboutContent::Logo());
    d->Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    d->Image1->installEventFilter(this);
    Place(d->Image1, 0, 0, 3000, 2145);

    auto line = [this](const char *name, const QString &text, int left, int top, int width, int height) {
        auto *l = new QLabel(text, this);
        l->setObjectName(QLatin1String(name));
        l->setFont(DialogLayout::TahomaFont());
        l->setAlignment(Qt::AlignRight | Qt::AlignTop);
        Place(l, left, top, width, height);
        return l;
    };
    line("Label1_3", QStringLiteral("Programmed By:"), 3420, 120, 2295, 315);
    line("Label1_5", AboutContent::AuthorLine(), 3480, 420, 2235, 255)->setWordWrap(true);
    line("Label1_4", QStringLiteral("E-mail Address:"), 3420, 780, 2295, 255);
    line("Label1_6", AboutContent::EMailLine(), 3300, 1080, 2415, 315);
    line("lblRights", AboutContent::RightsLine(), 3720, 1440, 1995, 615)->setWordWrap(true);
    line("lblVersion", QStringLiteral("Version ") + modTavrik::ProgramVersion(), 3420, 3120, 2235, 255);

    auto *terms = new QLabel(AboutContent::Terms(), this);
    terms->setObjectName(QStringLiteral("lblLimitation"));
    terms->setWordWrap(true);
    terms->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Place(terms, 60, 2040, 4395, 1875);
    // The terms' place reaches a few pixels into the logo; their text starts below it.
    terms->setContentsMargins(0, qMax(0, d->Image1->geometry().bottom() + 3 - terms->y()), 0, 0);

    d->Command1 = new QPushButton(QStringLiteral("&Close"), this);
    d->Command1->setObjectName(QStringLiteral("Command1"));
    d->Command1->setDefault(true);
    Place(d->Command1, 4560, 3480, 1095, 435);
    connect(d->Command1, &QPushButton::clicked, this, &frmAbout::Command1_Click);

    d->Timer1 = new QTimer(this);
    d->Timer1->setObjectName(QStringLiteral("Timer1"));
    d->Timer1->setInterval(60000);
    connect(d->Timer1, &QTimer::timeout, this, &frmAbout::Timer1_Timer);
}

frmAbout::~frmAbout()
{
    Form_Unload();
    delete d;
}

void frmAbout::setEnableTimer(bool bEnableTimer)
{
    d->enableTimer = bEnableTimer;
}

QPixmap frmAbout::LogoImage() const
{
    return d->Image1->pixmap();
}

void frmAbout::setLogoImage(const QPixmap &imLogoImage)
{
    d->Image1->setPixmap(imLogoImage);
}

// Loading happens when the box is shown: borrowing the logo must neither force the sounds on
// nor start the closing timer.
void frmAbout::showEvent(QShowEvent *e)
{
    if (!d->loaded)
        Form_Load();
    QDialog::showEvent(e);
}

void frmAbout::Form_Load()
{
    d->loaded = true;
    d->closing = false;
    d->Command1->setEnabled(true);
    Framework::RegisterWindow(this);
    DialogLayout::CentreOnScreen(this);
    if (d->enableTimer)
        d->Timer1->start();
    else
        d->Timer1->stop();
}

void frmAbout::Form_Unload()
{
    if (!d->loaded)
        return;
    d->loaded = false;
    d->Timer1->stop();
    Framework::UnregisterWindow(this);
}

void frmAbout::done(int result)
{
    Form_Unload();
    QDialog::done(result);
}

bool frmAbout::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate) {
        if (d->playOnActivate && d->loaded)
            bksPublicModule::PlayWave(soundPath(QStringLiteral("Drat.wav")), AboutSoundsOn, false, false);
        d->playOnActivate = true;
    } else if (e->type() == QEvent::WindowDeactivate) {
        d->playOnActivate = QApplication::activeWindow() != nullptr;
    }
    return QDialog::event(e);
}

bool frmAbout::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == d->Image1 && event->type() == QEvent::MouseButtonRelease) {
        const auto *me = static_cast<QMouseEvent *>(event);
        if (me->button() == Qt::LeftButton && d->Image1->rect().contains(me->position().toPoint()))
            Image1_Click();
    }
    return QDialog::eventFilter(watched, event);
}

void frmAbout::keyPressEvent(QKeyEvent *e)
{
    // There is no cancel button: Esc does nothing.
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

void frmAbout::Image1_Click()
{
    d->clickToggle = !d->clickToggle;
    const QString file = d->clickToggle ? QStringLiteral("Smart.wav") : QStringLiteral("32dohs.wav");
    bksPublicModule::PlayWave(soundPath(file), AboutSoundsOn, false, false);
}

void frmAbout::Command1_Click()
{
    closeWithSound();
}

void frmAbout::Timer1_Timer()
{
    closeWithSound();
}

void frmAbout::closeWithSound()
{
    // The waiting sound runs an event loop: neither the timer nor a second press may start
    // another close meanwhile.
    if (d->closing)
        return;
    d->closing = true;
    d->Timer1->stop();
    d->Command1->setEnabled(false);
    QPointer<frmAbout> self(this);
    bksPublicModule::PlayWave(soundPath(QStringLiteral("Kabom.wav")), AboutSoundsOn, true, false);
    if (!self)
        return;
    accept();
}
