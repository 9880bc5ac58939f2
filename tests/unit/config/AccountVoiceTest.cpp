// An account's own ways of telling its mail, in its key of the store.

#include "config/AccountVoice.h"
#include "config/AccountRecord.h"
#include "config/Registry.h"
#include "config/StoreError.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class AccountVoiceTest : public testing::Test
{
protected:
    MemoryStore store;
    TRegistry reg{store};

    void SetUp() override
    {
        reg.OpenKey(TAccountRecord::KeyOf(u"Home"_s), true);
        reg.WriteString(u"Server"_s, u"pop.example.org"_s);
    }

    QString ReadError()
    {
        try {
            TAccountVoice::Read(store, u"Home"_s);
        } catch (const EStoreError& e) {
            return e.Message;
        }
        return u"(read)"_s;
    }
};

TEST_F(AccountVoiceTest, TheWaysComeBackAndGoingBackToTheGeneralOptionsRemovesThem)
{
    EXPECT_FALSE(TAccountVoice::Read(store, u"Home"_s)) << "an account of before has none";
    EXPECT_FALSE(TAccountVoice::Read(store, u"Gone"_s));

    const TAccountVoice voice{{NotifyDesktop | NotifyPlaySound, u"/s/high.oga"_s},
                              {NotifyFlashIcon, u"/s/normal.wav"_s},
                              {{}, {}}};
    TAccountVoice::Write(reg, voice);
    EXPECT_EQ(TAccountVoice::Read(store, u"Home"_s), voice);

    TAccountVoice::Write(reg, std::nullopt);
    EXPECT_FALSE(TAccountVoice::Read(store, u"Home"_s));
    EXPECT_EQ(reg.GetValueNames(), QStringList{u"Server"_s});
}

// Each is refused as a whole, naming the value: half an override would tell
// in ways nobody chose.
TEST_F(AccountVoiceTest, ValuesThatCannotBeWaysAreRefusedNamingTheValue)
{
    TAccountVoice::Write(reg, TAccountVoice{});
    reg.WriteString(u"NormNotify"_s, u"loud"_s);
    EXPECT_TRUE(ReadError().contains(u"\"NormNotify\" in key \"HKEY_CURRENT_USER\\Software\\Tallowfen\\Postwatch\\2.0\\Accounts\\Home\" is stored with another type"_s))
        << ReadError().toStdString();
    for (int bits : {32, -1}) {
        reg.WriteInteger(u"NormNotify"_s, bits);
        EXPECT_TRUE(ReadError().contains(u"\"NormNotify\""_s) && ReadError().contains(QString::number(bits)))
            << ReadError().toStdString();
    }
    reg.WriteInteger(u"NormNotify"_s, 31);
    reg.WriteInteger(u"LowSoundfile"_s, 1);
    EXPECT_TRUE(ReadError().contains(u"\"LowSoundfile\""_s)) << ReadError().toStdString();
    reg.DeleteValue(u"LowSoundfile"_s);
    reg.DeleteValue(u"HighNotify"_s);
    EXPECT_TRUE(ReadError().contains(u"\"HighNotify\" is missing"_s)) << ReadError().toStdString();
}

}
