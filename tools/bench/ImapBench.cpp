// The main window, offscreen, on IMAP accounts of a test server, for
// tools/bench-imap: it tells when rows reach the window's list and how long
// a Check Now takes, so the script can time pushes against its deliveries.
//
//   bench_imap [PORT USER PASSWORD]...
//
// Each triple is an IMAP account on 127.0.0.1 without TLS. The timer is
// 30 minutes, so nothing but Check Now and the server's pushes fill the list.
// Caches go to the profile folder that POSTWATCH_PROFILE names.
//
// Standard output, a line each:
//   ready                   the window is up
//   rows TIME COUNT         rows came outside a Check Now; TIME is the
//                           realtime clock in seconds, as Python's time.time()
//   checked SECONDS COUNT   a Check Now ended after SECONDS with COUNT rows
//   failed TEXT             the window would have shown TEXT in a box
// Standard input: "check" starts a Check Now; the end of input quits.

#include "app/Mainformdlg.h"
#include "base/Guard.h"
#include "config/AccountRecord.h"
#include "config/Registry.h"
#include "config/RegistryStore.h"
#include "config/ScramblePassword.h"
#include "config/Settings.h"
#include "desktop/Runformdlg.h"
#include "dialogs/Configdlg.h"
#include "engine/CheckEngine.h"
#include "engine/MessageList.h"
#include "platform/DialUp.h"
#include "widgets/MsgBox.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr int TimerMinutes = 30;

void Say(const char* format, auto... values)
{
    std::printf(format, values...);
    std::putchar('\n');
    std::fflush(stdout);
}

double RealtimeSeconds()
{
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

void StoreImapAccount(RegistryStore& store, int index, int port, const QString& user, const QString& password)
{
    TAccountRecord account;
    account.Name = QStringLiteral("Bench %1").arg(index);
    account.Server = QStringLiteral("127.0.0.1");
    account.Port = port;
    account.Username = user;
    account.Protocol = QStringLiteral("IMAP");
    TRegistry reg(store);
    reg.OpenKey(TAccountRecord::KeyOf(account.Name), true);
    account.Write(reg);
    reg.WriteString(QStringLiteral("Password"), ScramblePassword(password));
}

// The window program's parts as Program makes them, on an in-memory store.
class BenchWindow
{
public:
    explicit BenchWindow(MemoryStore& store)
        : options(store), runForm(options), dialUp(SystemDialUp()),
          form(store, options, *dialUp, runForm, QStringLiteral("postwatch")), config(options, *form.Pop1, [] {})
    {
        // The configuration window loaded the defaults; these come after, as a user's choice would.
        options.SetInterval(TimerMinutes);
        options.SetConnType(LanConn);
        options.SetNotifyNewOnly(false);
        for (auto set : {&Settings::SetHighNotify, &Settings::SetNormNotify, &Settings::SetLowNotify})
            (options.*set)(NotifyShowList);
    }

    TMainForm& Form() { return form; }

private:
    Settings options;
    TRunForm runForm;
    std::unique_ptr<TDialUp> dialUp;
    TMainForm form;
    TConfigForm config;
};

// Check Now as the user starts it, timed until the engine is free again.
class CheckTimer : public QObject
{
public:
    explicit CheckTimer(TMainForm& form) : form(form)
    {
        poll.setInterval(1);
        poll.setTimerType(Qt::PreciseTimer);
        connect(&poll, &QTimer::timeout, this, [this] { Poll(); });
    }

    bool Running() const { return poll.isActive(); }

    void Start()
    {
        clock.start();
        form.actCheckNow->trigger();
        poll.start();
    }

private:
    void Poll()
    {
        if (form.Engine->EngineBusy())
            return;
        poll.stop();
        Say("checked %.4f %d", clock.nsecsElapsed() / 1e9, form.MessageList->rowCount());
    }

    TMainForm& form;
    QTimer poll;
    QElapsedTimer clock;
};

// The script's commands, a line each on standard input.
class Commands : public QObject
{
public:
    explicit Commands(CheckTimer& check) : check(check), notifier(STDIN_FILENO, QSocketNotifier::Read)
    {
        connect(&notifier, &QSocketNotifier::activated, this, [this] { Read(); });
    }

private:
    void Read()
    {
        char chunk[256];
        const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (got <= 0) {
            notifier.setEnabled(false);
            QCoreApplication::quit();
            return;
        }
        pending.append(chunk, got);
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1))
            Run(pending.left(end).trimmed());
    }

    void Run(const QByteArray& command)
    {
        if (command == "check")
            check.Start();
        else
            std::fprintf(stderr, "bench_imap: unknown command \"%s\"\n", command.constData());
    }

    CheckTimer& check;
    QSocketNotifier notifier;
    QByteArray pending;
};

bool ReadAccounts(const QStringList& args, MemoryStore& store)
{
    if (args.size() % 3 != 0)
        return false;
    for (int i = 0; i < args.size(); i += 3) {
        bool ok = false;
        const int port = args[i].toInt(&ok);
        if (!ok || port < 1 || port > 65535)
            return false;
        StoreImapAccount(store, i / 3 + 1, port, args[i + 1], args[i + 2]);
    }
    return true;
}

}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    MemoryStore store;
    if (!ReadAccounts(app.arguments().mid(1), store)) {
        std::fprintf(stderr, "usage: bench_imap [PORT USER PASSWORD]...\n");
        return 2;
    }
    // What the window would show in a box is a failure of the run: the script hears of it at once.
    SetErrorReport([](const QString& message) { Say("failed %s", qPrintable(message.simplified())); });
    SetMsgBoxHook([](const TMsgBoxRequest& box) {
        Say("failed %s", qPrintable(box.Text.simplified()));
        return QMessageBox::Ok;
    });
    BenchWindow window(store);
    TMainForm& form = window.Form();
    CheckTimer check(form);
    Commands commands(check);
    QObject::connect(form.MessageList, &QAbstractItemModel::rowsInserted, &check, [&] {
        if (!check.Running())
            Say("rows %.6f %d", RealtimeSeconds(), form.MessageList->rowCount());
    });
    form.show();
    Say("ready");
    return app.exec();
}
