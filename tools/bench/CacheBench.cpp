// Times saving and reading the summary cache with many entries, as a check
// of a very large mailbox leaves it.
//
//   bench_cache COUNT [MAILBOXES]
//
// Prints the milliseconds of the save (wall clock, and the processor's time,
// which a machine busy with other work inflates less) and of the first
// lookup after a start (which reads the file), and the file's size.

#include "engine/SummaryCache.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>

namespace {

TSummaryFields Fields(int n)
{
    const QString from = QStringLiteral(" Sender %1 <sender%1@bench.example>").arg(n);
    const QString subject = QStringLiteral(" Benchmark message %1").arg(n);
    return {from, subject, QStringLiteral(" Bench <bench@example.org>"),
            QStringLiteral(" Mon, 8 Dec 2025 10:%1:00 +0100").arg(n % 60, 2, 10, QLatin1Char('0')),
            QStringLiteral("3"), from, subject,
            DigestFromHex(QByteArray::number(qHash(n), 16).rightJustified(16, '0').repeated(4))};
}

}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int count = args.value(1).toInt();
    const int boxes = qMax(1, args.value(2, QStringLiteral("1")).toInt());
    if (count < 1) {
        std::fprintf(stderr, "usage: bench_cache COUNT [MAILBOXES]\n");
        return 2;
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("summary-cache"));
    TSummaryCache cache(path);
    for (int n = 0; n < count; ++n)
        cache.Remember(TSummaryCache::Mailbox(QStringLiteral("Box %1").arg(n % boxes), QStringLiteral("pop.bench.example"),
                                              QStringLiteral("bench")),
                       QStringLiteral("uid-%1-bench").arg(n), Fields(n), 2000 + n % 1000);
    QElapsedTimer timer;
    timer.start();
    const std::clock_t processor = std::clock();
    cache.Save();
    const qint64 saved = timer.elapsed();
    const double savedCpu = double(std::clock() - processor) * 1000 / CLOCKS_PER_SEC;
    timer.restart();
    TSummaryCache reread(path);
    reread.Find(QString(), QString());
    const qint64 read = timer.elapsed();
    std::printf("entries %d in %d mailboxes: save %lld ms (processor %.0f ms), read %lld ms, file %.1f MiB\n", count,
                boxes, saved, savedCpu, read, QFileInfo(path).size() / 1048576.0);
    return 0;
}
