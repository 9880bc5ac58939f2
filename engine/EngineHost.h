#pragma once

#include "engine/MailSource.h"
#include "platform/DesktopNotice.h"

#include <QString>
#include <QUrl>
#include <QStringList>
#include <functional>

// The user, as the engine asks and tells: boxes and questions. Where nobody
// is there (--check), questions are answered No and boxes said in words.
class TUserQuestions
{
public:
    virtual ~TUserQuestions() = default;

    // Whether a person is there to answer AskYesNo.
    virtual bool CanAsk() const { return true; }
    // A Yes/No question; true for Yes.
    virtual bool AskYesNo(const QString& text, const QString& caption, TBoxOwner owner) = 0;
    // A box with an OK button. An empty caption stands for the system's
    // default one.
    virtual void Tell(const QString& text, const QString& caption, TBoxOwner owner) = 0;
    // A plain message under the application's title.
    virtual void ShowMessage(const QString& text) = 0;
    // A failure of a check or of an action on an account, in a box that does
    // not wait to be read: nothing the program does waits for it.
    // WithdrawFailures closes the account's boxes that still stand.
    virtual void TellFailure(const QString& account, const QString& text, const QString& caption,
                             TBoxOwner owner) = 0;
    // The failure's own words, under the application's title.
    virtual void ShowFailure(const QString& account, const QString& text) = 0;
    // One box for the failures of several accounts, under the application's
    // title; it stands until each of them has been checked without failure.
    virtual void TellFailures(const QStringList& accounts, const QString& text) = 0;
    virtual void WithdrawFailures(const QString& account) = 0;
    // The desktop's default beep: a command refused without a word.
    virtual void Beep() = 0;
    // Opens an address in the desktop's browser: a sign-in.
    virtual void OpenUrl(const QUrl& url) = 0;
};

// Where the engine says what it is doing and what stands.
class TStatusDisplay
{
public:
    virtual ~TStatusDisplay() = default;

    // Status panels 0 (activity), 1 (time of the last check) and 2 (result).
    virtual void SetStatusText(int panel, const QString& text) = 0;
    // A timed check's failure, told where nobody needs to answer: a line on
    // standard error and a desktop notification.
    virtual void AnnounceFailure(const QString& line, const QString& detail) = 0;
    // The failures that stand, one line each, for the tray icon's hint; none
    // also withdraws what AnnounceFailure showed.
    virtual void ShowStandingFailures(const QStringList& lines) = 0;
    // The accounts watched live and those reconnecting, one line each, for
    // the tray icon's hint.
    virtual void ShowWatching(const QStringList& lines) = 0;
    // Whether news is kept back now, one line for the tray icon's hint;
    // empty when it is not. Where there is no tray, nobody is told.
    virtual void ShowQuiet(const QString& line) { Q_UNUSED(line); }
};

// The desktop around the window program: what telling of new mail and the
// message actions show, play and start. --check has none.
class TDesktopActions
{
public:
    virtual ~TDesktopActions() = default;

    // The tray icon stops flashing and shows its first image.
    virtual void StopFlashing() = 0;
    // The tray icon starts flashing; false where there is no tray to flash.
    virtual bool StartFlashing() = 0;
    // The main window: shown and brought to the front, or hidden.
    virtual void ShowMainWindow() = 0;
    virtual void HideMainWindow() = 0;
    // The quick view window, filled with a message, shown and brought to the front.
    virtual void ShowQuickView(const TQuickViewText& text) = 0;
    // Runs Launch Client as the user's command does.
    virtual void LaunchClient() = 0;
    // Starts a program with its arguments, detached from this one.
    virtual void StartProgram(const QString& commandLine) = 0;
    // An event sound, played in the background; silent on any failure.
    virtual void PlaySound(const QString& file) = 0;
    // Opens a file with the program the desktop associates with it.
    virtual void OpenFile(const QString& file) = 0;
    // A desktop notification bubble, replacing the one shown before.
    virtual void ShowNotice(const DesktopNotice& notice) = 0;
    // Whether the notification server plays a bubble's sound itself.
    virtual bool NoticePlaysSound() = 0;
    // Takes the new-mail bubble away: there is no mail to tell of.
    virtual void WithdrawNotice() = 0;
    // Whether a bubble may offer to mark the account's messages read: its
    // server keeps a read mark.
    virtual bool MarksRead(const QString& account) = 0;
};

// The timers the engine runs on, and the event loop's turn.
class TEngineTimers
{
public:
    virtual ~TEngineTimers() = default;

    // Timer1: the one-shot 100 ms delay before the cycle's next request.
    virtual void ArmTimer1() = 0;
    virtual void StopTimer1() = 0;
    // TimerHangUp: the 1000 ms ticks of a delayed hang-up.
    virtual void StartHangUpTimer() = 0;
    virtual void StopHangUpTimer() = 0;
    // TimerCatchUp: one delay before the check that follows a wake or the
    // network's return.
    virtual void ArmCatchUp(int milliseconds) = 0;
    // TimerMain counts its minute afresh.
    virtual void RestartMinuteTimer() = 0;
    // Runs work from the event loop, after the calls now running have
    // returned.
    virtual void Post(std::function<void()> work) = 0;
};

// The window program serves the engine in every way; tests record.
class TEngineHost : public TUserQuestions, public TStatusDisplay, public TDesktopActions, public TEngineTimers
{
};
