#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

// Takes the URLs the program hands to the desktop, in place of a browser or
// mail program: register it with QDesktopServices::setUrlHandler(scheme,
// &catcher, "Open").
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> Urls;

public slots:
    void Open(const QUrl& url) { Urls << url; }
};
