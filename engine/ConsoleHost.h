#pragma once

#include "engine/EngineHost.h"

#include <QString>
#include <QTimer>
#include <functional>

class TCheckEngine;

// What the check engine needs of a run from the command line: no window,
// no tray, nobody to ask. Questions are answered No and said on standard error,
// like every message; the status texts are kept for the closing report. It
// never notifies: what it prints is the news.
class TConsoleHost : public TUserQuestions, public TStatusDisplay, public TEngineTimers
{
public:
    TConsoleHost();

    void SetEngine(TCheckEngine& engine) { Engine = &engine; }

    void SetStatusText(int panel, const QString& text) override;
    bool CanAsk() const override { return false; }
    bool AskYesNo(const QString& text, const QString& caption, TBoxOwner owner) override;
    void Tell(const QString& text, const QString& caption, TBoxOwner owner) override;
    void ShowMessage(const QString& text) override;
    void TellFailure(const QString&, const QString& text, const QString& caption, TBoxOwner owner) override
    {
        Tell(text, caption, owner);
    }
    void ShowFailure(const QString&, const QString& text) override { ShowMessage(text); }
    void TellFailures(const QStringList&, const QString& text) override { ShowMessage(text); }
    void WithdrawFailures(const QString&) override {}
    // A run from the command line is one the user started: it tells all.
    void AnnounceFailure(const QString& line, const QString&) override { Fail(line); }
    void ShowStandingFailures(const QStringList&) override {}
    void ShowWatching(const QStringList&) override {}
    void Beep() override {}
    // Nobody signs in from a run without a window.
    void OpenUrl(const QUrl&) override {}
    void ArmTimer1() override { Timer1.start(); }
    void StopTimer1() override { Timer1.stop(); }
    // The process ends with the check: a delayed hang-up, a catch-up or
    // the next minute has no time to come.
    void StartHangUpTimer() override {}
    void StopHangUpTimer() override {}
    void ArmCatchUp(int) override {}
    void RestartMinuteTimer() override {}
    void Post(std::function<void()> work) override;

    // Runs the event loop until the engine has nothing more to do.
    void WaitUntilIdle();
    // Something went wrong that the user would have been told in a window.
    void Fail(const QString& message);

    bool Failed = false;
    QString StatusTexts[3];

private:
    TCheckEngine* Engine = nullptr;
    QTimer Timer1;
    int PostedWork = 0;
};
