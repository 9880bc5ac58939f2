#include "platform/Browser.h"

#include <QProcess>

void OpenInBrowser(const QUrl& url)
{
    QProcess::startDetached(QStringLiteral("xdg-open"), {url.toString(QUrl::FullyEncoded)});
}
