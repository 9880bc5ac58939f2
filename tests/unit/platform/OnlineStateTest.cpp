#include "platform/OnlineState.h"

#include <gtest/gtest.h>

// The machine's own interfaces are all there is to test the fallback with.
TEST(OutsideInterface, LoopbackOrNothingIsNotOnline)
{
    EXPECT_FALSE(HasOutsideInterface({}));
    QList<QNetworkInterface> loopbacks;
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces())
        if (interface.flags().testFlag(QNetworkInterface::IsLoopBack))
            loopbacks << interface;
    ASSERT_FALSE(loopbacks.isEmpty()) << "this machine has no loopback interface";
    EXPECT_FALSE(HasOutsideInterface(loopbacks));
}

TEST(OutsideInterface, InterfaceThatIsNotRunningDoesNotCount)
{
    QList<QNetworkInterface> idle;
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces())
        if (!interface.flags().testFlag(QNetworkInterface::IsRunning))
            idle << interface;
    if (idle.isEmpty())
        GTEST_SKIP() << "every interface of this machine is running";
    EXPECT_FALSE(HasOutsideInterface(idle));
}
