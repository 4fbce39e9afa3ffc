// Runs the panel as the program does and, at given moments, triggers menu items by name or grabs
// the screen, so pictures of the real windows can be made without anyone at the keyboard.
//
//   tavrik-shots [--dark] STEP...   with STEP one of
//     SECONDS:ITEM      trigger the action named ITEM (e.g. 8:mnuWindowTileGrid)
//     SECONDS:@FILE     save a picture of the whole screen to FILE
//     SECONDS:quit      close the panel
#include "app/Main.h"
#include "app/CommandLine.h"

#include <QAction>
#include <QApplication>
#include <QPalette>
#include <QPixmap>
#include <QScreen>
#include <QStyleFactory>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace {

QPalette darkPalette()
{
    QPalette p;
    const QColor window(53, 53, 53), base(35, 35, 35), text(220, 220, 220);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::Link, QColor(42, 130, 218));
    p.setColor(QPalette::Highlight, QColor(42, 130, 218));
    p.setColor(QPalette::HighlightedText, Qt::black);
    p.setColor(QPalette::Dark, QColor(25, 25, 25));
    p.setColor(QPalette::Mid, QColor(40, 40, 40));
    p.setColor(QPalette::PlaceholderText, QColor(150, 150, 150));
    return p;
}

void trigger(const QString &name)
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *a = w->findChild<QAction *>(name)) {
            a->trigger();
            return;
        }
    }
    std::fprintf(stderr, "tavrik-shots: no item %s\n", qPrintable(name));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QStringList steps = app.arguments().mid(1);
    if (steps.removeAll(QStringLiteral("--dark"))) {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(darkPalette());
    }
    for (const QString &step : steps) {
        const qsizetype colon = step.indexOf(u':');
        const int ms = int(step.left(colon).toDouble() * 1000);
        const QString what = step.mid(colon + 1);
        QTimer::singleShot(ms, &app, [what] {
            if (what == QLatin1String("quit")) {
                // Closing the panel takes other windows with it: find it first, then close it.
                QWidget *panel = nullptr;
                for (QWidget *w : QApplication::topLevelWidgets())
                    if (w->objectName() == QLatin1String("mfrmTavrik"))
                        panel = w;
                if (panel)
                    panel->close();
            } else if (what.startsWith(u'@')) {
                QGuiApplication::primaryScreen()->grabWindow(0).save(what.mid(1));
            } else {
                trigger(what);
            }
        });
    }
    return modTavrik::Main(app, CommandLine::Request());
}
