#include "app/MainFormHost.h"

#include "app/Mainformdlg.h"
#include "base/Guard.h"
#include "desktop/MsgBox.h"

#include <QApplication>
#include <QTimer>

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

// The tray icon comes with its own window; until then nothing flashes.
void TMainFormHost::StopFlashing()
{
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

void TMainFormHost::Post(std::function<void()> work)
{
    QTimer::singleShot(0, &form, GuardedSlot(std::move(work)));
}

QWidget* TMainFormHost::Owner(TBoxOwner owner) const
{
    return owner == TBoxOwner::MainWindow ? &form : nullptr;
}
