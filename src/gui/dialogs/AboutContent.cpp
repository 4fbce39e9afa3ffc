#include "dialogs/AboutContent.h"

#include "settings/Schema.h"

// Q_INIT_RESOURCE cannot be used inside a namespace. Referencing the resource here also makes the
// linker take its object file from the static library, so Main's window icon finds it too.
static void initMediaResource()
{
    Q_INIT_RESOURCE(tavrik_media);
}

namespace AboutContent {

namespace {

    void ensureResource()
    {
        static const bool done = (initMediaResource(), true);
        Q_UNUSED(done)
    }

} // namespace

QString AuthorLine()
{
    return Schema::AuthorName;
}

QString EMailLine()
{
    return QStringLiteral("tavrik@brakmere.org");
}

QString RightsLine()
{
    return QStringLiteral("Copyright \u00a9 2026 ") + Schema::CompanyName;
}

QString Terms()
{
    const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral(
               "Tavrik is free software: you can redistribute it and/or modify it under the terms of the GNU "
               "General Public License as published by the Free Software Foundation, either version 3 of the "
               "License, or (at your option) any later version.")
        + crlf
        + QStringLiteral("It comes with no warranty of any kind; see the GNU General Public License for details.")
        + crlf + QStringLiteral("Tavrik only reads the files of the clients it watches and never changes them.");
}

QPixmap Logo()
{
    ensureResource();
    return QPixmap(QStringLiteral(":/media/logo.png"));
}

QIcon AppIcon()
{
    ensureResource();
    QIcon icon;
    icon.addFile(QStringLiteral(":/media/tavrik-64.png"), QSize(64, 64));
    icon.addFile(QStringLiteral(":/media/tavrik-256.png"), QSize(256, 256));
    return icon;
}

} // namespace AboutContent
