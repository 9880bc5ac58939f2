#include "config/FileStore.h"
#include "config/Registry.h"
#include "config/ScramblePassword.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
const QString AccountKey = u"Software\\Tallowfen\\Postwatch\\2.0\\Accounts\\home"_s;

QString latin1Range()
{
    QString all;
    for (char16_t c = 1; c <= 0xFF; ++c)
        all += QChar(c);
    return all;
}

// Every BMP code unit except zero and the surrogates, then pairs of
// surrogates that form characters beyond the BMP.
QString everyCharacter()
{
    QString all;
    for (char32_t c = 1; c <= 0x10FFFF; c += (c < 0x10000 ? 1 : 0x3FF)) {
        if (c < 0xD800 || c > 0xDFFF)
            all += QString::fromUcs4(&c, 1);
    }
    return all;
}

// Passwords that test the edges: every Latin-1 byte, text beyond ASCII,
// a character beyond the BMP, one whose stored form starts with U+FEFF,
// and zero characters, which a QString can carry.
const QStringList Passwords = {
    latin1Range(), u"Grüße, 1 € – 🔑!"_s, u"\uFEE0abc"_s, u"plain secret"_s,
    u"zero"_s + QChar(0) + u"inside and at the end"_s + QChar(0),
};

void storePassword(RegistryStore& store, const QString& password)
{
    TRegistry reg(store);
    reg.OpenKey(AccountKey, true);
    reg.WriteString(u"Password"_s, ScramblePassword(password));
}

QString readPassword(RegistryStore& store)
{
    TRegistry reg(store);
    if (!reg.OpenKey(AccountKey, false))
        return u"<no account>"_s;
    return ScramblePassword(reg.ReadString(u"Password"_s));
}
}

TEST(ScramblePassword, ChangesEveryCharacterOfAPasswordKeepsItsLengthAndUndoesItself)
{
    const QString password = u"Tr0ub4dor&3 xyz"_s;
    const QString scrambled = ScramblePassword(password);
    ASSERT_EQ(scrambled.size(), password.size());
    for (qsizetype i = 0; i < password.size(); ++i)
        EXPECT_NE(scrambled[i], password[i]) << i;
    EXPECT_EQ(ScramblePassword(scrambled), password);
}

TEST(ScramblePassword, NoCharacterBecomesZeroAndZeroStaysZero)
{
    EXPECT_FALSE(ScramblePassword(latin1Range()).contains(QChar(0)));
    EXPECT_FALSE(ScramblePassword(everyCharacter()).contains(QChar(0)));
    const QString withZero = u"a"_s + QChar(0) + u"b"_s;
    EXPECT_EQ(ScramblePassword(withZero)[1], QChar(0));
    EXPECT_EQ(ScramblePassword(ScramblePassword(withZero)), withZero);
}

TEST(ScramblePassword, StoredFormIsValidUnicodeForEveryCharacter)
{
    const QString all = everyCharacter();
    const QString scrambled = ScramblePassword(all);
    EXPECT_EQ(QString::fromUtf8(scrambled.toUtf8()), scrambled) << "a lone surrogate cannot be written as UTF-8";
    EXPECT_EQ(ScramblePassword(scrambled), all);
}

TEST(ScramblePassword, EveryPasswordSurvivesTheMemoryStore)
{
    for (const QString& password : Passwords) {
        MemoryStore store;
        storePassword(store, password);
        EXPECT_EQ(readPassword(store), password);
    }
}

TEST(ScramblePassword, EveryPasswordSurvivesTheFileAndAFreshRead)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(u"registry.reg"_s);
    for (const QString& password : Passwords + QStringList{everyCharacter()}) {
        {
            FileStore writer(path);
            storePassword(writer, password);
        }
        FileStore reader(path);
        EXPECT_EQ(readPassword(reader), password) << password.left(20).toStdString();
    }
}
