#include "EngineFixture.h"

namespace {

// A mailbox that tells of its changes by itself, between checks.
class TPushingSource : public TMailSource
{
public:
    using TMailSource::TMailSource;

    bool Pushes() const override { return true; }
    void Open() override {}
    void Refresh() override
    {
        emit Listing(0);
        emit Refreshed({});
    }
    void Delete(const TMessageKey& key) override { DeletedIds << key.UniqueId; }
    void Fetch(const TMessageKey&) override {}
    void Close() override {}
    void Cancel() override {}

    QStringList DeletedIds;
};

class PushedChanges : public EngineTest
{
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        AddAccount("Home", {});
        StoreBlockedSender(store, " Spam");
        Load();
        settings.SetSaveBlocked(false);
        MakeSource = [this](const QString& account) {
            auto made = std::make_unique<TPushingSource>(account);
            source = made.get();
            return made;
        };
        Rebuild();
        CheckNow();
    }

    static TSourceRow Row(const QString& from, const QString& subject, const QString& id, int number)
    {
        const TFakeMailClient::Message message = FakeMessage(from, subject);
        TSummary summary;
        summary.From = from;
        summary.Subject = subject;
        summary.Header = message.Header + QStringList{QStringLiteral(".")};
        return {{QStringLiteral("Home"), id, number}, FieldsOf(summary), message.Bytes};
    }

    TPushingSource* source = nullptr;
};

}

TEST_F(PushedChanges, NewMailIsListedFilteredAndToldAndMailGoneElsewhereLeavesTheList)
{
    ASSERT_TRUE(source);
    EXPECT_EQ(host.Panels[2], "No new messages");
    const int toldBefore = int(host.Told.size());

    emit source->Arrived({Row(" Ann", " Hello", "u1", 1), Row(" Spam", " buy", "u2", 2)});
    EXPECT_EQ(Rows(), QStringList{"Home Hello #1"});
    EXPECT_EQ(source->DeletedIds, QStringList{"u2"}) << "a blocked sender's mail is deleted as a check would";
    EXPECT_EQ(host.Panels[2], "1 new messages");
    EXPECT_GT(host.Told.size(), toldBefore) << "told as after a check";

    const int withdrawn = host.NoticesWithdrawn;
    emit source->Removed({{"Home", "u1"}});
    EXPECT_TRUE(Rows().isEmpty());
    EXPECT_EQ(host.Panels[2], "No new messages");
    EXPECT_EQ(host.NoticesWithdrawn, withdrawn + 1);
}

TEST_F(PushedChanges, ALostConnectionBetweenChecksIsToldOnceWithoutABox)
{
    const TSourceFailure lost{TFailureKind::Network, QStringLiteral("Connection reset by peer")};
    emit source->Failed(lost);
    emit source->Failed(lost);
    EXPECT_EQ(host.Announced.size(), 1);
    EXPECT_TRUE(host.Boxes.isEmpty());
    EXPECT_EQ(host.Panels[2], "Check failed for Home");
}
