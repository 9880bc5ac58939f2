#include <QByteArrayList>
#include <QDateTime>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>

namespace {
// One channel_starter, killed at the end if it still runs.
class Starter : public QProcess
{
public:
    Starter(const QString& store, qint64 startAt)
    {
        setProcessChannelMode(QProcess::ForwardedErrorChannel);
        start(QStringLiteral(CHANNEL_STARTER), {store, QString::number(startAt)});
    }
    ~Starter() override
    {
        if (state() != NotRunning) {
            kill();
            waitForFinished();
        }
    }

    // Empty when no line comes in time.
    QByteArray NextLine()
    {
        while (!canReadLine()) {
            if (!waitForReadyRead(15000))
                return {};
        }
        return readLine().trimmed();
    }
};
}

// Two starts at one instant for one profile. Unguarded, they both listen in
// about half of the rounds, hence ten. From the second round on they also
// find the socket of the copy killed before, as after a crash.
TEST(SimultaneousStart, ExactlyOneCopyListensAndTheOtherForwardsToIt)
{
    QTemporaryDir profile;
    const QString store = profile.filePath("registry.reg");
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE(round);
        const qint64 startAt = QDateTime::currentMSecsSinceEpoch() + 300;
        Starter one(store, startAt);
        Starter other(store, startAt);
        QByteArrayList outcomes = {one.NextLine(), other.NextLine()};
        Starter& listener = outcomes[0] == "listening" ? one : other;
        std::sort(outcomes.begin(), outcomes.end());
        ASSERT_EQ(outcomes, QByteArrayList({"forwarded", "listening"}))
            << outcomes[0].constData() << ", " << outcomes[1].constData();
        EXPECT_EQ(listener.NextLine(), "show") << "the forwarded words reached the running copy";
    }
}
