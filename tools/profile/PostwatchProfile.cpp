// Writes a Postwatch store for the demo mailbox and the benchmarks, through
// the program's own store code, so the file is exactly what Postwatch writes.
// The store is the one Postwatch would use: POSTWATCH_PROFILE names its folder.
#include "base/Exception.h"
#include "config/AccountRecord.h"
#include "config/AccountText.h"
#include "config/FileStore.h"
#include "config/Registry.h"
#include "config/ScramblePassword.h"
#include "config/StoreKeys.h"
#include "platform/Profile.h"

#include <QCoreApplication>
#include <QTextStream>

#include <climits>
#include <cstdio>

namespace {

const char* const Usage =
    "usage: postwatch-profile has-accounts\n"
    "       postwatch-profile add-account NAME SERVER PORT USERNAME [--protocol POP3|IMAP] [--folder FOLDER]\n"
    "                                                               (the password on standard input)\n"
    "       postwatch-profile block-sender SENDER\n"
    "       postwatch-profile set-integer OPTION NUMBER\n"
    "has-accounts exits 0 when the store has an Accounts key, 1 when not.\n";

class UsageError : public Exception
{
public:
    using Exception::Exception;
};

int number(const QString& text, int lowest, int highest, const QString& what)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < lowest || value > highest)
        throw UsageError(QStringLiteral("%1 must be a number from %2 to %3, not \"%4\".").arg(what).arg(lowest).arg(highest).arg(text));
    return value;
}

QString passwordFromInput()
{
    QTextStream input(stdin);
    return input.readLine();
}

QString protocol(const QString& value)
{
    if (TAccountRecord::IsImap(value))
        return TAccountRecord::ImapProtocol;
    if (value.compare(TAccountRecord::DefaultProtocol, Qt::CaseInsensitive) == 0)
        return TAccountRecord::DefaultProtocol;
    throw UsageError(QStringLiteral("The protocol is POP3 or IMAP, not \"%1\".").arg(value));
}

QString folder(const QString& value)
{
    if (const QString problem = AccountFolderProblem(value); !problem.isEmpty())
        throw UsageError(problem);
    return AccountText(value);
}

// The options after the four values: "--protocol IMAP", "--folder Archive".
void readAccountOptions(TAccountRecord& account, const QStringList& options)
{
    for (qsizetype i = 0; i < options.size(); i += 2) {
        const QString& option = options[i];
        if (i + 1 == options.size())
            throw UsageError(QStringLiteral("%1 needs a value.").arg(option));
        if (option == QLatin1String("--protocol"))
            account.Protocol = protocol(options[i + 1]);
        else if (option == QLatin1String("--folder"))
            account.Folder = folder(options[i + 1]);
        else
            throw UsageError(QStringLiteral("Unknown option \"%1\".").arg(option));
    }
}

void addAccount(RegistryStore& store, const QStringList& arguments)
{
    const QString& name = arguments[0];
    if (name.trimmed().isEmpty() || name.contains(QLatin1Char('\\')))
        throw UsageError(QStringLiteral("An account name must not be empty or hold a backslash: \"%1\".").arg(name));
    TAccountRecord account;
    account.Name = name;
    account.Server = arguments[1];
    account.Username = arguments[3];
    account.Port = number(arguments[2], 1, 65535, QStringLiteral("The port"));
    readAccountOptions(account, arguments.mid(4));
    TRegistry reg(store);
    reg.OpenKey(TAccountRecord::KeyOf(name), true);
    account.Write(reg);
    reg.WriteString(QStringLiteral("Password"), ScramblePassword(passwordFromInput()));
}

void blockSender(RegistryStore& store, const QString& sender)
{
    TRegistry reg(store);
    reg.OpenKey(StoreKeys::BlockedSenders, true);
    reg.WriteBool(sender, true);
}

void setInteger(RegistryStore& store, const QString& option, const QString& value)
{
    TRegistry reg(store);
    reg.OpenKey(StoreKeys::Program, true);
    reg.WriteInteger(option, number(value, INT_MIN, INT_MAX, option));
}

int run(const QStringList& words)
{
    const QString command = words.value(0);
    const QStringList arguments = words.mid(1);
    FileStore store(Profile::StoreFilePath());
    if (command == QLatin1String("has-accounts") && arguments.isEmpty())
        return TRegistry(store).KeyExists(StoreKeys::Accounts) ? 0 : 1;
    if (command == QLatin1String("add-account") && arguments.size() >= 4)
        addAccount(store, arguments);
    else if (command == QLatin1String("block-sender") && arguments.size() == 1)
        blockSender(store, arguments[0]);
    else if (command == QLatin1String("set-integer") && arguments.size() == 2)
        setInteger(store, arguments[0], arguments[1]);
    else
        throw UsageError(QString());
    return 0;
}

}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    try {
        return run(QCoreApplication::arguments().mid(1));
    } catch (const UsageError& e) {
        std::fprintf(stderr, "%s%s", e.Message.isEmpty() ? "" : qPrintable(e.Message + QLatin1Char('\n')), Usage);
        return 2;
    } catch (const Exception& e) {
        std::fprintf(stderr, "postwatch-profile: %s\n", qPrintable(e.Message));
        return 2;
    }
}
