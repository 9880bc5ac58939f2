// Retrieves one whole message for tools/bench-retrieve and prints, one
// key=value a line, the wall time and the peak memory before and after.
#include "pop3/Pop3client.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>

namespace {

// The process's own high-water mark: unlike the rusage figure, it does not
// start from the parent's size at fork.
long PeakKiB()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine())
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 7) {
        std::fprintf(stderr, "usage: %s HOST PORT USER PASSWORD INDEX ATTACH_FOLDER\n", argv[0]);
        return 2;
    }
    TPop3Client client;
    client.Host = argv[1];
    client.Port = QByteArray(argv[2]).toInt();
    client.UserID = argv[3];
    client.Password = argv[4];
    client.TimeOut = 30000;
    client.AttachFilePath = QString::fromLocal8Bit(argv[6]);
    try {
        client.Connect();
        const long idle = PeakKiB();
        QElapsedTimer wall;
        wall.start();
        client.RetrieveMessage(QByteArray(argv[5]).toInt());
        const qint64 ns = wall.nsecsElapsed();
        std::printf("wall_ms=%.1f\npeak_idle_kib=%ld\npeak_kib=%ld\nbody_lines=%lld\nattachments=%s\n", ns / 1e6, idle,
                    PeakKiB(), static_cast<long long>(client.MailMessage.Body.size()),
                    qPrintable(client.MailMessage.Attachments.join(',')));
        client.Disconnect();
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.Message));
        return 1;
    }
    return 0;
}
