#include "app/MainFormHost.h"

#include "app/Mainformdlg.h"
#include "base/Guard.h"
#include "desktop/Runformdlg.h"
#include "engine/CheckEngine.h"
#include "platform/DesktopNotifier.h"
#include "viewer/HtmlText.h"
#include "viewer/Quickviewdlg.h"
#include "widgets/Beep.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QProcess>
#include <QTimer>
#include <QUrl>

void TMainFormHost::SetStatusText(int panel, const QString& text)
{
    form.SetStatusText(panel, text);
}

bool TMainFormHost::AskYesNo(const QString& text, const QString& caption, TBoxOwner owner)
{
    return MsgBox({text, caption, Owner(owner), QMessageBox::Yes | QMessageBox::No}) == QMessageBox::Yes;
}

// Every box told is a failure's report; a caption-less one gets the one the
// system gives it.
void TMainFormHost::Tell(const QString& text, const QString& caption, TBoxOwner owner)
{
    WriteErrorLine(text);
    MsgBox({text, caption.isEmpty() ? QStringLiteral("Error") : caption, Owner(owner), QMessageBox::Ok});
}

void TMainFormHost::ShowMessage(const QString& text)
{
    WriteErrorLine(text);
    MsgBox({text, QApplication::applicationName(), &form, QMessageBox::Ok});
}

void TMainFormHost::TellFailure(const QString& account, const QString& text, const QString& caption, TBoxOwner owner)
{
    WriteErrorLine(text);
    KeepFailureBox({account}, {text, caption.isEmpty() ? QStringLiteral("Error") : caption, Owner(owner), QMessageBox::Ok});
}

void TMainFormHost::ShowFailure(const QString& account, const QString& text)
{
    WriteErrorLine(text);
    KeepFailureBox({account}, {text, QApplication::applicationName(), &form, QMessageBox::Ok});
}

void TMainFormHost::TellFailures(const QStringList& accounts, const QString& text)
{
    WriteErrorLine(text);
    KeepFailureBox(accounts, {text, QApplication::applicationName(), &form, QMessageBox::Ok});
}

void TMainFormHost::KeepFailureBox(const QStringList& accounts, const TMsgBoxRequest& request)
{
    if (QPointer<QMessageBox> box = ShowMsgBox(request))
        failureBoxes.append({accounts, box});
}

// A box closes once every account it tells of has been checked without
// failure; the user may have closed it already.
void TMainFormHost::WithdrawFailures(const QString& account)
{
    for (TFailureBox& open : failureBoxes) {
        open.Accounts.removeAll(account);
        if (open.Accounts.isEmpty() && open.Box)
            open.Box->close();
    }
    failureBoxes.removeIf([](const TFailureBox& open) { return open.Accounts.isEmpty() || !open.Box; });
}

void TMainFormHost::AnnounceFailure(const QString& line, const QString& detail)
{
    WriteErrorLine(detail.isEmpty() ? line : line + QStringLiteral(" (") + detail + u')');
    QStringList lines{line};
    if (!detail.isEmpty())
        lines << detail;
    form.Notifier->Show({QStringLiteral("Postwatch could not check for mail"), lines, DesktopNotice::Normal, {}},
                        DesktopNotifier::Problem);
}

void TMainFormHost::ShowStandingFailures(const QStringList& lines)
{
    runForm.SetHint(lines.isEmpty() ? lines : QStringList{QStringLiteral("Check failed:")} + lines);
    if (lines.isEmpty())
        form.Notifier->Withdraw(DesktopNotifier::Problem);
}

void TMainFormHost::ShowWatching(const QStringList& lines)
{
    runForm.SetWatching(lines);
}

void TMainFormHost::ShowQuiet(const QString& line)
{
    runForm.SetQuiet(line);
}

void TMainFormHost::Beep()
{
    ::Beep();
}

void TMainFormHost::StopFlashing()
{
    runForm.StopFlashing();
}

bool TMainFormHost::StartFlashing()
{
    return runForm.Flash();
}

void TMainFormHost::ShowNotice(const DesktopNotice& notice)
{
    form.Notifier->Show(notice);
}

bool TMainFormHost::NoticePlaysSound()
{
    return form.Notifier->ServerPlaysSound();
}

void TMainFormHost::WithdrawNotice()
{
    form.Notifier->Withdraw(DesktopNotifier::NewMail);
}

bool TMainFormHost::MarksRead(const QString& account)
{
    return form.Engine && form.Engine->MarksRead(account);
}

void TMainFormHost::ShowMainWindow()
{
    form.ShowAndRaise();
}

void TMainFormHost::ShowQuickView(const TQuickViewText& text)
{
    TQuickView* view = form.QuickView;
    if (!view)
        return;
    view->show();
    view->raise();
    view->activateWindow();
    view->SetMsgText((text.Html ? HtmlText(text.Body) : text.Body) + text.Notes);
    view->lblFrom->setText(text.From);
    view->lblSubject->setText(text.Subject);
    view->lblDate->setText(text.Date);
    view->lblAccount->setText(text.Account);
}

void TMainFormHost::HideMainWindow()
{
    form.hide();
}

void TMainFormHost::LaunchClient()
{
    form.actLaunch->trigger();
}

// A mail program's command line, in its desktop entry's quoting.
void TMainFormHost::StartProgram(const QString& commandLine)
{
    QStringList arguments = QProcess::splitCommand(commandLine);
    if (!arguments.isEmpty())
        QProcess::startDetached(arguments.takeFirst(), arguments);
}

void TMainFormHost::PlaySound(const QString& file)
{
    sounds.Play(file);
}

void TMainFormHost::OpenFile(const QString& file)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

// Said on standard error too, for a desktop without a browser to open it.
void TMainFormHost::OpenUrl(const QUrl& url)
{
    WriteErrorLine(QStringLiteral("Sign in in your browser: ") + url.toString(QUrl::FullyEncoded));
    QDesktopServices::openUrl(url);
}

void TMainFormHost::StartHangUpTimer()
{
    form.TimerHangUp->start();
}

void TMainFormHost::ArmTimer1()
{
    form.Timer1->start();
}

void TMainFormHost::StopTimer1()
{
    form.Timer1->stop();
}

void TMainFormHost::StopHangUpTimer()
{
    form.TimerHangUp->stop();
}

void TMainFormHost::ArmCatchUp(int milliseconds)
{
    form.TimerCatchUp->start(milliseconds);
}

void TMainFormHost::RestartMinuteTimer()
{
    form.TimerMain->start();
}

void TMainFormHost::Post(std::function<void()> work)
{
    QTimer::singleShot(0, &form, GuardedSlot(std::move(work)));
}

QWidget* TMainFormHost::Owner(TBoxOwner owner) const
{
    return owner == TBoxOwner::MainWindow ? &form : nullptr;
}
