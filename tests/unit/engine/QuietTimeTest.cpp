// The quiet rule on the wall clock of a zone with summer time, and the text
// of quiet hours as the options keep it.

#include "config/QuietHours.h"
#include "config/RegistryStore.h"
#include "config/Settings.h"
#include "engine/QuietTime.h"
#include "engine/RowFormat.h"

#include <QTimeZone>
#include <gtest/gtest.h>

namespace {

using TChoice = TQuietTime::TDoNotDisturb;

TEST(QuietHoursText, ReadsTwoDifferentTimesAndNothingElse)
{
    const std::optional<TQuietHours> night = TQuietHours::Parse(" 22:00 - 7:05 ");
    ASSERT_TRUE(night);
    EXPECT_EQ(night->From, QTime(22, 0));
    EXPECT_EQ(night->To, QTime(7, 5));
    EXPECT_TRUE(night->OverMidnight());
    EXPECT_EQ(night->Text(), "22:00-07:05");
    for (const char* text : {"", "22:00", "22:00-22:00", "24:00-07:00", "22:60-07:00", "22:00-07:00x", "10pm-7am",
                             "22:00-07:00-08:00", "\u0662\u0662:00-07:00"})
        EXPECT_FALSE(TQuietHours::Parse(QString::fromUtf8(text))) << text;
}

class QuietTimeTest : public testing::Test
{
protected:
    // Berlin: summer time from 29 March 2026, 02:00 to 03:00, until
    // 25 October, 03:00 back to 02:00.
    static QDateTime At(int month, int day, int hour, int minute = 0)
    {
        return {QDate(2026, month, day), QTime(hour, minute), QTimeZone("Europe/Berlin")};
    }

    MemoryStore store;
    Settings settings{store};
    TQuietTime quiet{settings};
};

TEST_F(QuietTimeTest, QuietHoursRunOverMidnightByTheWallClockOnSummerTimeDaysToo)
{
    EXPECT_FALSE(quiet.IsQuiet(At(12, 10, 23)));
    settings.SetQuietHours("22:00-07:00");
    EXPECT_FALSE(quiet.IsQuiet(At(12, 10, 21, 59)));
    EXPECT_TRUE(quiet.IsQuiet(At(12, 10, 22)));
    EXPECT_TRUE(quiet.IsQuiet(At(12, 11, 6, 59)));
    EXPECT_FALSE(quiet.IsQuiet(At(12, 11, 7)));
    EXPECT_EQ(quiet.QuietUntil(At(12, 10, 23)), At(12, 11, 7));
    EXPECT_EQ(quiet.HintLine(At(12, 10, 23)), "Quiet hours until tomorrow " + HoursAndMinutes(QTime(7, 0)));
    EXPECT_EQ(quiet.HintLine(At(12, 11, 3)), "Quiet hours until " + HoursAndMinutes(QTime(7, 0)));
    EXPECT_EQ(quiet.HintLine(At(12, 11, 8)), "");

    EXPECT_TRUE(quiet.IsQuiet(At(3, 29, 6, 59))) << "a night an hour short";
    EXPECT_FALSE(quiet.IsQuiet(At(3, 29, 7)));
    EXPECT_TRUE(quiet.IsQuiet(At(10, 25, 6, 59))) << "a night an hour long";
    EXPECT_FALSE(quiet.IsQuiet(At(10, 25, 7)));

    settings.SetQuietHours("02:15-02:45");
    EXPECT_FALSE(quiet.IsQuiet(At(3, 29, 3, 15))) << "a span the clock skips is no quiet that night";
    EXPECT_TRUE(quiet.IsQuiet(At(10, 25, 2, 30)));

    settings.SetQuietHours("07:00-07:00");
    EXPECT_FALSE(quiet.IsQuiet(At(12, 10, 7))) << "from equal to to is no quiet hours";
}

TEST_F(QuietTimeTest, DoNotDisturbForAnHourUntilTomorrowMorningAndOff)
{
    // 02:30 in summer time; an hour later the clock shows 02:30 again.
    const QDateTime halfPastTwo =
        QDateTime(QDate(2026, 10, 25), QTime(0, 30), QTimeZone::utc()).toTimeZone(QTimeZone("Europe/Berlin"));
    quiet.DoNotDisturb(TChoice::ForOneHour, halfPastTwo);
    EXPECT_TRUE(quiet.IsQuiet(halfPastTwo.addSecs(3599)));
    EXPECT_FALSE(quiet.IsQuiet(halfPastTwo.addSecs(3600))) << "sixty real minutes as the clock goes back";
    EXPECT_EQ(quiet.DoNotDisturbChoice(halfPastTwo), TChoice::ForOneHour);
    EXPECT_EQ(quiet.DoNotDisturbChoice(At(10, 25, 4)), TChoice::Off) << "over: Off";

    quiet.DoNotDisturb(TChoice::UntilTomorrow, At(12, 10, 15));
    EXPECT_TRUE(quiet.IsQuiet(At(12, 11, 7, 59)));
    EXPECT_FALSE(quiet.IsQuiet(At(12, 11, 8)));
    EXPECT_EQ(quiet.HintLine(At(12, 10, 15)), "Do not disturb until tomorrow " + HoursAndMinutes(QTime(8, 0)));

    settings.SetQuietHours("22:30-06:30");
    quiet.DoNotDisturb(TChoice::UntilTomorrow, At(12, 10, 15));
    EXPECT_FALSE(quiet.IsQuiet(At(12, 11, 6, 30))) << "the night's quiet hours say when morning is";
    quiet.DoNotDisturb(TChoice::ForOneHour, At(12, 10, 21, 45));
    EXPECT_EQ(quiet.QuietUntil(At(12, 10, 21, 45)), At(12, 11, 6, 30)) << "the quiet hours follow without a gap";

    quiet.DoNotDisturb(TChoice::Off, At(12, 10, 23));
    EXPECT_FALSE(quiet.IsQuiet(At(12, 10, 23))) << "Off lets this night's quiet hours through";
    EXPECT_FALSE(quiet.IsQuiet(At(12, 11, 6)));
    EXPECT_TRUE(quiet.IsQuiet(At(12, 11, 22, 30))) << "until they come again";
}

TEST_F(QuietTimeTest, TheDesktopsDoNotDisturbAndHighPriorityBreakingThrough)
{
    quiet.SetDesktopDoNotDisturb(true);
    EXPECT_TRUE(quiet.IsQuiet(At(12, 10, 12)));
    EXPECT_FALSE(quiet.QuietUntil(At(12, 10, 12)).isValid()) << "only the desktop knows until when";
    EXPECT_EQ(quiet.HintLine(At(12, 10, 12)), "Do not disturb: the desktop's");
    quiet.DoNotDisturb(TChoice::Off, At(12, 10, 12));
    EXPECT_TRUE(quiet.IsQuiet(At(12, 10, 12))) << "the tray's Off is not the desktop's";
    quiet.SetDesktopDoNotDisturb(false);
    EXPECT_FALSE(quiet.IsQuiet(At(12, 10, 12)));

    EXPECT_TRUE(quiet.BreaksThrough("High"));
    EXPECT_FALSE(quiet.BreaksThrough("Normal"));
    settings.SetQuietBreakThrough(false);
    EXPECT_FALSE(quiet.BreaksThrough("High"));
}

}
