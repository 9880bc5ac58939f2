#include "engine/CheckCommand.h"

#include "engine/CheckEngine.h"
#include "engine/ConsoleHost.h"
#include "engine/Listing.h"
#include "engine/MessageList.h"
#include "engine/AccessTokens.h"
#include "engine/SummaryCache.h"
#include "base/CleanText.h"
#include "base/Exception.h"
#include "base/Guard.h"
#include "config/AccountPassword.h"
#include "config/SecretStore.h"
#include "config/Settings.h"
#include "config/UserStore.h"
#include "platform/DialUp.h"
#include "platform/Profile.h"
#include "pop3/Pop3client.h"

#include <QCoreApplication>
#include <QTextStream>

namespace {

int check()
{
    TConsoleHost host;
    SetErrorReport([&host](const QString& message) { host.Fail(message); });

    const std::unique_ptr<TDialUp> systemDialUp = SystemDialUp();
    TDialUp& dialUp = *systemDialUp;
    const auto userStore = OpenUserStore(dialUp);
    RegistryStore& store = *userStore;
    const auto secrets = UseSecretStore(store, UserStoreName(store));
    Settings settings(store);
    TPop3Client client;
    QObject::connect(&settings, &Settings::TimeoutChanged, [&client](int milliseconds) { client.TimeOut = milliseconds; });
    settings.FillLists();
    settings.LoadSettings();

    TMessageList list(settings);
    TSummaryCache cache(Profile::SummaryCacheFilePath());
    TAccessTokens tokens(store);
    TEngineParts parts{settings, store, dialUp, list, host, host, host, nullptr, client};
    parts.Cache = &cache;
    parts.Tokens = &tokens;
    parts.WatchLive = false;
    TCheckEngine engine(parts);
    host.SetEngine(engine);
    Guarded([&engine] { engine.actCheckNowExecute(); });
    host.WaitUntilIdle();
    if (client.Connected)
        Guarded([&client] { client.Disconnect(); });

    QTextStream out(stdout);
    TListing::WriteText(out, list, {std::begin(host.StatusTexts), std::end(host.StatusTexts)});
    return host.Failed ? 1 : 0;
}

}

int RunCheckCommand(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Postwatch"));
    try {
        return check();
    } catch (const Exception& e) {
        QTextStream(stderr) << CleanedLines(e.Message) << Qt::endl;
        return 1;
    }
}
