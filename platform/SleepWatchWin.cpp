#include "platform/SleepWatch.h"

#include "base/Guard.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>

#include <windows.h>

namespace {

// Windows broadcasts the resume to every top-level window, the main window
// among them; the application's filter sees each copy. A second copy only
// arms the catch-up check again.
class ResumeFilter : public QObject, public QAbstractNativeEventFilter
{
public:
    explicit ResumeFilter(TSleepWatch* watch) : QObject(watch), watch(watch)
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
    {
        if (eventType == "windows_generic_MSG" && IsResume(*static_cast<const MSG*>(message)))
            Guarded([this] { emit watch->Resumed(); });
        return false;
    }

private:
    // Automatic: any wake; suspend: a wake the user caused, which Windows
    // tells besides.
    static bool IsResume(const MSG& msg)
    {
        return msg.message == WM_POWERBROADCAST
            && (msg.wParam == PBT_APMRESUMEAUTOMATIC || msg.wParam == PBT_APMRESUMESUSPEND);
    }

    TSleepWatch* watch;
};

}

TSleepWatch::TSleepWatch(QObject* parent) : QObject(parent)
{
    new ResumeFilter(this);
}
