// Measures the POP3 client for tools/bench-pop3, one measurement per run so
// that each peak memory figure is its own. Prints one key=value per line.
#include "pop3/Pop3client.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <sys/resource.h>

namespace {

struct TUsage
{
    double CpuMs;
    long PeakKiB;
};

TUsage Usage()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return {ms(usage.ru_utime) + ms(usage.ru_stime), usage.ru_maxrss};
}

void Prepare(TPop3Client& client, char** argv)
{
    client.Host = argv[2];
    client.Port = QByteArray(argv[3]).toInt();
    client.UserID = argv[4];
    client.Password = argv[5];
    client.TimeOut = 30000;
}

// CPU spent while Connect waits for a greeting the server holds back.
void HeldGreeting(TPop3Client& client)
{
    const TUsage before = Usage();
    QElapsedTimer wall;
    wall.start();
    client.Connect();
    const double cpu = Usage().CpuMs - before.CpuMs;
    std::printf("wall_ms=%lld\ncpu_ms=%.1f\n", wall.elapsed(), cpu);
}

void Summaries(TPop3Client& client, int count)
{
    client.Connect();
    QElapsedTimer wall;
    wall.start();
    for (int index = 1; index <= count; ++index)
        client.RetrieveSummary(index);
    const qint64 ns = wall.nsecsElapsed();
    client.Disconnect();
    std::printf("summaries=%d\nms_per_summary=%.4f\n", count, ns / 1e6 / count);
}

// Reads a long reply line by line, as a summary does, keeping nothing.
void LongReply(TPop3Client& client)
{
    client.Connect();
    const long before = Usage().PeakKiB;
    qint64 bytes = 0;
    QString failure;
    try {
        client.Transaction("TOP 1 0");
        for (QByteArray line = client.ReadLn(); line != ".\r\n"; line = client.ReadLn())
            bytes += line.size();
    } catch (const Exception& e) {
        failure = e.Message;
    }
    std::printf("bytes=%lld\npeak_before_kib=%ld\npeak_kib=%ld\nfailure=%s\n", bytes, before, Usage().PeakKiB,
                qPrintable(failure));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 6) {
        std::fprintf(stderr, "usage: %s greeting|summaries|reply HOST PORT USER PASSWORD [COUNT]\n", argv[0]);
        return 2;
    }
    TPop3Client client;
    Prepare(client, argv);
    const QByteArray mode = argv[1];
    try {
        if (mode == "greeting")
            HeldGreeting(client);
        else if (mode == "summaries")
            Summaries(client, argc > 6 ? QByteArray(argv[6]).toInt() : 1000);
        else
            LongReply(client);
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.Message));
        return 1;
    }
    return 0;
}
