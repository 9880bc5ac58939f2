#pragma once

#include <QList>
#include <QObject>
#include <QUrl>
#include <functional>

// Takes the URLs the program hands to the desktop, in place of a browser or
// mail program: register it with QDesktopServices::setUrlHandler(scheme,
// &catcher, "Open").
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> Urls;
    std::function<void(const QUrl&)> Then; // where a URL goes on to, when set

public slots:
    void Open(const QUrl& url)
    {
        Urls << url;
        if (Then)
            Then(url);
    }
};
