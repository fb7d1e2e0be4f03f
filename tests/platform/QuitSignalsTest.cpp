#include "platform/QuitSignals.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <csignal>
#include <gtest/gtest.h>

namespace {
bool defaultAction(int s)
{
    struct sigaction sa {};
    ::sigaction(s, nullptr, &sa);
    return sa.sa_handler == SIG_DFL;
}
}

// A request to end arrives on the event loop, once; after it (and after the
// object is gone) the default actions are back, so a second request ends the
// program at once.
TEST(QuitSignals, ARequestToEndArrivesOnTheEventLoopOnce)
{
    std::vector<int> got;
    {
        QuitSignals q;
        QObject::connect(&q, &QuitSignals::quitRequested, [&](int s) { got.push_back(s); });
        EXPECT_FALSE(defaultAction(SIGTERM));
        EXPECT_FALSE(defaultAction(SIGINT));
        EXPECT_FALSE(defaultAction(SIGHUP));
        ASSERT_EQ(::raise(SIGTERM), 0);
        EXPECT_TRUE(got.empty()); // not from inside the handler
        const QDeadlineTimer deadline(5000);
        while (got.empty() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        EXPECT_EQ(got, std::vector<int>{SIGTERM});
        EXPECT_TRUE(defaultAction(SIGTERM));
        EXPECT_TRUE(defaultAction(SIGINT));
    }
    {
        QuitSignals q;
        EXPECT_FALSE(defaultAction(SIGHUP));
    }
    EXPECT_TRUE(defaultAction(SIGHUP));
}
