#include "platform/InstanceChannel.h"

#include <QCoreApplication>
#include <QDateTime>

#include <cstdio>

namespace {
void say(const char* line)
{
    std::puts(line);
    std::fflush(stdout);
}
}

// A start of the program reduced to its channel, for racing starts:
//   channel_starter STORE_PATH START_AT_MSECS_SINCE_EPOCH
// At that moment it forwards "show" for the store or becomes the running
// copy, and prints "forwarded", "listening" or "not listening". A listening
// one then prints every "show" it receives and runs until it is killed.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    InstanceChannel channel(QString::fromLocal8Bit(argv[1]));
    const qint64 startAt = QByteArray(argv[2]).toLongLong();
    // Spinning, not sleeping, so starters given one moment leave within microseconds.
    while (QDateTime::currentMSecsSinceEpoch() < startAt) {
    }
    const InstanceChannel::Outcome outcome = channel.ForwardOrListen({QStringLiteral("show")});
    if (outcome != InstanceChannel::Listening) {
        say(outcome == InstanceChannel::Forwarded ? "forwarded" : "not listening");
        return 0;
    }
    say("listening");
    QObject::connect(&channel, &InstanceChannel::ShowRequested, [] { say("show"); });
    channel.SetReady();
    return app.exec();
}
