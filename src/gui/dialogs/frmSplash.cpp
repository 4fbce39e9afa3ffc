#include "dialogs/frmSplash.h"

#include "dialogs/AboutContent.h"
#include "dialogs/DialogLayout.h"
#include "dialogs/DialogRules.h"
#include "dialogs/frmAbout.h"
#include "settings/Schema.h"
#include "settings/SettingsStore.h"
#include "shared/Framework.h"
#include "shared/bksPublicWindows.h"

#include <QFrame>
#include <QLabel>
#include <QTimer>

class frmSplash::Private
{
public:
    QLabel *Image1 = nullptr;
    QTimer *Timer1 = nullptr;
    bool enableTimer = false;
};

frmSplash::frmSplash(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
    , d(new Private)
{
    setObjectName(QStringLiteral("frmSplash"));
    setFont(Framework::FormFont());

    // No caption, but a fixed frame around the client area.
    auto *border = new QFrame(this);
    border->setFrameStyle(QFrame::Panel | QFrame::Raised);
    border->setLineWidth(2);
    const int frame = border->frameWidth();
    const QSize client = DialogLayout::ClientSize(this, 3780, 2865);
    setFixedSize(client + QSize(2 * frame, 2 * frame));
    border->setGeometry(rect());
    auto *area = new QWidget(this);
    area->setGeometry(QRect(QPoint(frame, frame), client));

    using DialogLayout::Place;
    auto *email = new QLabel(AboutContent::EMailLine(), area);
    email->setObjectName(QStringLiteral("Label1_6"));
    email->setFont(DialogLayout::TahomaFont());
    email->setAlignment(Qt::AlignCenter);
    Place(email, 60, 0, 3675, 315);

    d->Image1 = new QLabel(area);
    d->Image1->setObjectName(QStringLiteral("Image1"));
    Place(d->Image1, 420, 360, 3000, 2145);

    auto *rights = new QLabel(AboutContent::RightsLine(), area);
    rights->setObjectName(QStringLiteral("lblRights"));
    rights->setFont(DialogLayout::TahomaFont());
    rights->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Kept inside the client area, as far from its right edge as the e-mail line is from the left.
    Place(rights, 0, 2580, 3780 - 60, 315);

    d->Timer1 = new QTimer(this);
    d->Timer1->setObjectName(QStringLiteral("Timer1"));
    d->Timer1->setSingleShot(true);
    connect(d->Timer1, &QTimer::timeout, this, &frmSplash::Timer1_Timer);
}

frmSplash::~frmSplash()
{
    delete d;
}

void frmSplash::setEnableTimer(bool bEnableTimer)
{
    d->enableTimer = bEnableTimer;
}

void frmSplash::Load()
{
    Framework::RegisterWindow(this);
    const int interval = DialogRules::SplashIntervalMs(
        SettingsStore::get(Schema::AppSettings, Schema::SplashTime, Schema::DefaultSplashTime));
    d->Timer1->setInterval(interval);
    if (interval <= 1) {
        d->Timer1->stop();
        deleteLater();
        return;
    }
    {
        // Borrowed from an about box that is never shown, so it plays nothing; the next about
        // box is built fresh.
        frmAbout about;
        d->Image1->setPixmap(about.LogoImage());
    }
    DialogLayout::CentreOnScreen(this);
    bksPublicModule::SetTopMost(this, true, false);
    show();
    if (d->enableTimer)
        d->Timer1->start();
}

void frmSplash::Timer1_Timer()
{
    bksPublicModule::SetTopMost(this, false, false);
    close();
    deleteLater();
}
