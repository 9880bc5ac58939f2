#include "platform/InstanceChannel.h"

#include "base/Guard.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>

#include <functional>
#include <utility>
#include <vector>

#include <windows.h>

// On Windows "checknow" goes as message 0x8190 to the window titled
// "Postwatch", the other words over a pipe, and copies starting together
// take turns through a mutex of the logon session.
namespace {
const QString CheckNowWord = QStringLiteral("checknow");

// What a second start sends the running copy's window for "checknow".
constexpr UINT CheckNowMessage = 0x8190;
const wchar_t* const WindowTitle = L"Postwatch";

// Pipe names are seen by every user of the computer, so the name says whose
// it is as well as which profile.
QString nameFor(const QString& storeFilePath)
{
    const QByteArray owner = (QDir::homePath() + u'\n' + storeFilePath).toUtf8();
    const QByteArray hash = QCryptographicHash::hash(owner, QCryptographicHash::Sha1).toHex().left(12);
    return QStringLiteral("postwatch-%1").arg(QString::fromLatin1(hash));
}

bool isPostwatchWindow(HWND window)
{
    wchar_t title[16] = {};
    return GetWindowTextW(window, title, 16) > 0 && wcscmp(title, WindowTitle) == 0;
}

// The window of that title, null when there is none; hung when it is busy
// past the wait: a first copy that hangs must not hang this one.
HWND runningWindow(bool& hung)
{
    HWND window = FindWindowW(nullptr, WindowTitle);
    DWORD_PTR ignored = 0;
    hung = window && !SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, InstanceChannel::ReplyWaitMs, &ignored);
    return window;
}

std::vector<BYTE> userOf(HANDLE process)
{
    std::vector<BYTE> user;
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token))
        return user;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    user.resize(size);
    if (!GetTokenInformation(token, TokenUser, user.data(), size, &size))
        user.clear();
    CloseHandle(token);
    return user;
}

// Held by one start at a time. The name lives in this logon session's own
// space, which no other user's session reaches; Windows lets it go when its
// holder dies.
class SessionLock
{
public:
    explicit SessionLock(const QString& name)
        : mutex(CreateMutexW(nullptr, FALSE, reinterpret_cast<const wchar_t*>(name.utf16())))
    {
    }

    ~SessionLock()
    {
        if (held)
            ReleaseMutex(mutex);
        if (mutex)
            CloseHandle(mutex);
    }

    SessionLock(const SessionLock&) = delete;
    SessionLock& operator=(const SessionLock&) = delete;

    bool tryLock(int timeout)
    {
        const DWORD waited = mutex ? WaitForSingleObject(mutex, DWORD(timeout)) : WAIT_FAILED;
        held = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
        return held;
    }

private:
    HANDLE mutex;
    bool held = false;
};

bool sameUser(const std::vector<BYTE>& one, const std::vector<BYTE>& other)
{
    return !one.empty() && !other.empty()
           && EqualSid(reinterpret_cast<const TOKEN_USER*>(one.data())->User.Sid,
                       reinterpret_cast<const TOKEN_USER*>(other.data())->User.Sid);
}
}

// The window titled "Postwatch" that a second start finds, and the filter
// that takes 0x8190 posted or sent to it or to the main window, which has
// that title too once it has been shown. Both go with the channel.
class CheckNowWindow : public QObject, public QAbstractNativeEventFilter
{
public:
    CheckNowWindow(InstanceChannel* channel, std::function<void()> received)
        : QObject(channel), received(std::move(received)),
          window(CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", WindowTitle, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr))
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }

    ~CheckNowWindow() override
    {
        if (window)
            DestroyWindow(window);
    }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override
    {
        const MSG* msg = static_cast<const MSG*>(message);
        if (type != "windows_generic_MSG" || msg->message != CheckNowMessage || !isPostwatchWindow(msg->hwnd))
            return false;
        received();
        if (result) // none for a posted message
            *result = 0;
        return true;
    }

private:
    std::function<void()> received;
    HWND window;
};

// A pipe and a mutex need no folder, so the channel is always open.
InstanceChannel::InstanceChannel(const QString& storeFilePath, QObject* parent)
    : QObject(parent), serverName(nameFor(storeFilePath)), lockPath(QStringLiteral("Local\\") + serverName)
{
}

// "checknow" goes as the window message when the running copy has its
// window; the rest, and "checknow" while it has none yet, over the pipe.
bool InstanceChannel::Forward(const QStringList& words) const
{
    QStringList rest = words;
    bool hung = false;
    const HWND window = runningWindow(hung);
    // A posted message waits in the queue of a copy that is busy (starting,
    // say) until it is free again.
    if (window && rest.contains(CheckNowWord) && PostMessageW(window, CheckNowMessage, 0, 0))
        rest.removeAll(CheckNowWord);
    if (rest.isEmpty() && !words.isEmpty())
        return true;
    return !hung && sendWords(rest);
}

// Without the lock two copies could both find nobody answering and both
// listen. A copy whose window is there but does not answer still runs:
// this start ends rather than put a second icon in the tray.
InstanceChannel::Outcome InstanceChannel::ForwardOrListen(const QStringList& words)
{
    SessionLock lock(lockPath);
    if (!lock.tryLock(LockWaitMs))
        return NotListening;
    if (Forward(words))
        return Forwarded;
    bool hung = false;
    runningWindow(hung);
    if (hung) {
        WriteErrorLine(QStringLiteral("Postwatch is already running but does not answer; this start ends. "
                                      "If it stays so, end it in the Task Manager and start it again."));
        return Forwarded;
    }
    if (!listen())
        return NotListening;
    // The window titled "Postwatch" that a second start finds, whether or
    // not the main window was ever shown.
    new CheckNowWindow(this, [this] { takeRequest({CheckNowWord}); });
    return Listening;
}

// Pipe names are open to all: another user could have made one of this
// name first. Whichever end this is, the process at the other end must
// run as this user.
bool PeerIsThisUser(qintptr socketDescriptor)
{
    HANDLE pipe = reinterpret_cast<HANDLE>(socketDescriptor);
    DWORD flags = 0;
    ULONG peerId = 0;
    if (!GetNamedPipeInfo(pipe, &flags, nullptr, nullptr, nullptr))
        return false;
    const bool found = (flags & PIPE_SERVER_END) ? GetNamedPipeClientProcessId(pipe, &peerId)
                                                 : GetNamedPipeServerProcessId(pipe, &peerId);
    if (!found)
        return false;
    HANDLE peer = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, peerId);
    if (!peer)
        return false;
    const bool same = sameUser(userOf(peer), userOf(GetCurrentProcess()));
    CloseHandle(peer);
    return same;
}
