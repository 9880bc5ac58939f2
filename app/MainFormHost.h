#pragma once

#include "engine/EngineHost.h"
#include "platform/SoundPlayer.h"
#include "widgets/MsgBox.h"

#include <QList>
#include <QPointer>

class QWidget;
class TMainForm;
class TRunForm;

// The check engine's host in the window program: the main window's status
// bar and timers, message boxes owned by the main window, the tray icon, the
// desktop's notifications, sounds and programs.
class TMainFormHost : public TEngineHost
{
public:
    TMainFormHost(TMainForm& form, TRunForm& runForm) : form(form), runForm(runForm) {}

    void SetStatusText(int panel, const QString& text) override;
    bool AskYesNo(const QString& text, const QString& caption, TBoxOwner owner) override;
    void Tell(const QString& text, const QString& caption, TBoxOwner owner) override;
    void ShowMessage(const QString& text) override;
    void TellFailure(const QString& account, const QString& text, const QString& caption, TBoxOwner owner) override;
    void ShowFailure(const QString& account, const QString& text) override;
    void TellFailures(const QStringList& accounts, const QString& text) override;
    void WithdrawFailures(const QString& account) override;
    void AnnounceFailure(const QString& line, const QString& detail) override;
    void ShowStandingFailures(const QStringList& lines) override;
    void ShowWatching(const QStringList& lines) override;
    void ShowQuiet(const QString& line) override;
    void Beep() override;
    void StopFlashing() override;
    bool StartFlashing() override;
    void ShowMainWindow() override;
    void HideMainWindow() override;
    void ShowQuickView(const TQuickViewText& text) override;
    void LaunchClient() override;
    void StartProgram(const QString& commandLine) override;
    void PlaySound(const QString& file) override;
    void OpenFile(const QString& file) override;
    void OpenUrl(const QUrl& url) override;
    void ShowNotice(const DesktopNotice& notice) override;
    bool NoticePlaysSound() override;
    void WithdrawNotice() override;
    bool MarksRead(const QString& account) override;
    void ArmTimer1() override;
    void StopTimer1() override;
    void StartHangUpTimer() override;
    void StopHangUpTimer() override;
    void ArmCatchUp(int milliseconds) override;
    void RestartMinuteTimer() override;
    void Post(std::function<void()> work) override;

private:
    QWidget* Owner(TBoxOwner owner) const;
    void KeepFailureBox(const QStringList& accounts, const TMsgBoxRequest& request);

    TMainForm& form;
    TRunForm& runForm;
    SoundPlayer sounds;
    // A failure box still open, and the accounts it tells of that have not
    // been checked without failure since.
    struct TFailureBox
    {
        QStringList Accounts;
        QPointer<QMessageBox> Box;
    };
    QList<TFailureBox> failureBoxes;
};
