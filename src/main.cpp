#include "core/modTavrik.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    return modTavrik::Main(app);
}
