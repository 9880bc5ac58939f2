#include "config/SecretStore.h"

#include "base/Exception.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QEventLoop>
#include <QTimer>
#include <optional>
#include <qt6keychain/keychain.h>

using namespace Qt::StringLiterals;

namespace {

const QString Service = u"org.freedesktop.secrets"_s;
const QString ServicePath = u"/org/freedesktop/secrets"_s;

// What a finished request said.
struct JobResult {
    int Error = 0; // a QKeychain::Error
    QString Message;
    QString Text;
};

[[noreturn]] void fail(const JobResult& result)
{
    if (result.Error == QKeychain::AccessDenied || result.Error == QKeychain::AccessDeniedByUser)
        throw Exception(u"The keyring is locked."_s);
    throw Exception(u"The secret store failed: %1"_s.arg(result.Message));
}

QDBusMessage secretCall(const QString& path, const QString& interface, const QString& method, const QVariantList& arguments,
                        int timeOut)
{
    QDBusMessage call = QDBusMessage::createMethodCall(Service, path, interface, method);
    call.setArguments(arguments);
    // Blocks without an event loop, so nothing else runs meanwhile.
    return QDBusConnection::sessionBus().call(call, QDBus::Block, timeOut);
}

// Whether the Secret Service holds the secret locked or, holding none, keeps
// its default keyring locked; false where it cannot tell (another kind of
// store, or none).
bool isLocked(const QString& label, const QString& profile, int timeOut)
{
    qDBusRegisterMetaType<QMap<QString, QString>>();
    const QMap<QString, QString> attributes{{u"server"_s, label}, {u"user"_s, profile}};
    const QDBusMessage found = secretCall(ServicePath, u"org.freedesktop.Secret.Service"_s, u"SearchItems"_s,
                                          {QVariant::fromValue(attributes)}, timeOut);
    if (found.type() != QDBusMessage::ReplyMessage || found.arguments().size() != 2)
        return false;
    if (!qdbus_cast<QList<QDBusObjectPath>>(found.arguments().at(0)).isEmpty())
        return false;
    if (!qdbus_cast<QList<QDBusObjectPath>>(found.arguments().at(1)).isEmpty())
        return true;
    const QDBusMessage alias = secretCall(ServicePath, u"org.freedesktop.Secret.Service"_s, u"ReadAlias"_s,
                                          {u"default"_s}, timeOut);
    if (alias.type() != QDBusMessage::ReplyMessage || alias.arguments().isEmpty())
        return false;
    const QString collection = qdbus_cast<QDBusObjectPath>(alias.arguments().at(0)).path();
    if (collection.isEmpty() || collection == u"/"_s)
        return false;
    const QDBusMessage state = secretCall(collection, u"org.freedesktop.DBus.Properties"_s, u"Get"_s,
                                          {u"org.freedesktop.Secret.Collection"_s, u"Locked"_s}, timeOut);
    return state.type() == QDBusMessage::ReplyMessage && !state.arguments().isEmpty()
        && qdbus_cast<QDBusVariant>(state.arguments().at(0)).variant().toBool();
}

// QtKeychain has no way to read without the unlock prompt, so a request that
// may not prompt is refused here when the secret (or, for one not yet
// stored, the keyring it would go to) is locked.
int timeOutFor(const SecretStore& store, const QString& label, const QString& profile, bool mayPrompt)
{
    const bool locked = isLocked(label, profile, store.TimeOut);
    if (locked && !mayPrompt)
        throw Exception(u"The keyring is locked."_s);
    return locked ? store.PromptTimeOut : store.TimeOut;
}

// Starts the job and waits for its answer: none when the time-out came first.
// A job left behind by the time-out deletes itself whenever it finishes;
// deleting it here would leave the store's late answer a dangling job. What
// it says is taken as it finishes, as it deletes itself after that.
std::optional<JobResult> wait(QKeychain::Job& job, int timeOut)
{
    QEventLoop loop;
    std::optional<JobResult> result;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, [&loop, &result](QKeychain::Job* done) {
        const auto* read = qobject_cast<const QKeychain::ReadPasswordJob*>(done);
        result = JobResult{done->error(), done->errorString(), read ? read->textData() : QString()};
        loop.quit();
    });
    QTimer::singleShot(timeOut, &loop, &QEventLoop::quit);
    job.start();
    loop.exec();
    return result;
}

JobResult answer(QKeychain::Job& job, int timeOut)
{
    const std::optional<JobResult> result = wait(job, timeOut);
    if (!result)
        throw Exception(u"The secret store did not answer."_s);
    return *result;
}

}

SecretStore::SecretStore(QString profile) : profile(std::move(profile))
{
}

// The service name is what the keyring application shows; the profile is
// the other attribute the secret is found by.
QString SecretStore::Label(const QString& account, Kind kind) const
{
    return (kind == SignIn ? u"Postwatch sign-in: "_s : u"Postwatch: "_s) + account;
}

// A read of a secret nobody stores: a store that answers says it has none.
QString SecretStore::NotAnswering()
{
    return QStringLiteral("No secret store answers on the session bus");
}

bool SecretStore::Answers()
{
    auto* job = new QKeychain::ReadPasswordJob(u"Postwatch"_s);
    job->setKey(profile);
    const std::optional<JobResult> result = wait(*job, TimeOut);
    return result && (result->Error == QKeychain::NoError || result->Error == QKeychain::EntryNotFound);
}

QString SecretStore::Read(const QString& account, bool mayPrompt, Kind kind)
{
    const QString label = Label(account, kind);
    const int timeOut = timeOutFor(*this, label, profile, mayPrompt);
    auto* job = new QKeychain::ReadPasswordJob(label);
    job->setKey(profile);
    const JobResult result = answer(*job, timeOut);
    if (result.Error == QKeychain::EntryNotFound)
        return {};
    if (result.Error != QKeychain::NoError)
        fail(result);
    return result.Text;
}

void SecretStore::Write(const QString& account, const QString& secret, Kind kind, bool mayPrompt)
{
    const QString label = Label(account, kind);
    const int timeOut = timeOutFor(*this, label, profile, mayPrompt);
    auto* job = new QKeychain::WritePasswordJob(label);
    job->setKey(profile);
    job->setTextData(secret);
    const JobResult result = answer(*job, timeOut);
    if (result.Error != QKeychain::NoError)
        fail(result);
}

void SecretStore::Remove(const QString& account, Kind kind)
{
    const QString label = Label(account, kind);
    const int timeOut = timeOutFor(*this, label, profile, true);
    auto* job = new QKeychain::DeletePasswordJob(label);
    job->setKey(profile);
    const JobResult result = answer(*job, timeOut);
    if (result.Error != QKeychain::NoError && result.Error != QKeychain::EntryNotFound)
        fail(result);
}
