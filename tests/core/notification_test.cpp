#include "app/notification.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// An observer that records what it receives and may run an action while it is
// being notified.
class Recorder final : public IObserver {
public:
    explicit Recorder(std::string label, std::vector<std::string>* journal = nullptr)
        : m_label(std::move(label)), m_journal(journal)
    {
    }

    void OnNotify(INotification* n) override
    {
        ++calls;
        names.push_back(n->Name());
        if (m_journal)
            m_journal->push_back(m_label);
        if (action)
            action(n);
    }
    bool IsSame(IObserver* other) override { return other == this; }

    int calls = 0;
    std::vector<std::string> names;
    std::function<void(INotification*)> action;

private:
    std::string m_label;
    std::vector<std::string>* m_journal;
};

void PostName(NotificationCenter& bus, const char* name, NotificationArg arg1 = 0)
{
    Notification n(name, arg1, 0, 0);
    bus.Post(&n);
}

TEST(NotificationBus, SevenNamesHaveTheirTexts)
{
    EXPECT_STREQ(NT_CHECK_UPDATE, "NT_CHECK_UPDATE");
    EXPECT_STREQ(NT_START_UP, "NT_START_UP");
    EXPECT_STREQ(NT_ENTER_GAME, "NT_ENTER_GAME");
    EXPECT_STREQ(NT_GET_GSNAME, "NT_GET_GSNAME");
    EXPECT_STREQ(NT_GET_NEWMSG, "NT_GET_NEWMSG");
    EXPECT_STREQ(NT_GAME_QUIT, "NT_GAME_QUIT");
    EXPECT_STREQ(NT_WEB_ENTER_GAME, "NT_WEB_ENTER_GAME");
}

TEST(NotificationBus, DeliversInRegistrationOrderToThatNameOnly)
{
    NotificationCenter bus;
    std::vector<std::string> journal;
    Recorder a("a", &journal), b("b", &journal), other("other", &journal);
    bus.AddObserver(NT_START_UP, &a);
    bus.AddObserver(NT_START_UP, &b);
    bus.AddObserver(NT_GAME_QUIT, &other);

    PostName(bus, NT_START_UP);

    EXPECT_EQ(journal, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(other.calls, 0);
}

TEST(NotificationBus, NamesCompareExactlyAndCaseSensitively)
{
    NotificationCenter bus;
    Recorder a("a");
    bus.AddObserver(NT_START_UP, &a);
    PostName(bus, "nt_start_up");
    PostName(bus, "NT_START_UP ");
    EXPECT_EQ(a.calls, 0);
    PostName(bus, "NT_START_UP");
    EXPECT_EQ(a.calls, 1);
}

TEST(NotificationBus, NameNeverRegisteredCallsNothingAndAddsNoName)
{
    NotificationCenter bus;
    Recorder a("a");
    bus.AddObserver(NT_START_UP, &a);

    PostName(bus, NT_WEB_ENTER_GAME);
    bus.RemoveObserver(NT_CHECK_UPDATE, &a);
    PostName(bus, NT_CHECK_UPDATE);

    EXPECT_EQ(a.calls, 0);
    EXPECT_FALSE(bus.HasName(NT_WEB_ENTER_GAME));
    EXPECT_FALSE(bus.HasName(NT_CHECK_UPDATE));
    EXPECT_TRUE(bus.HasName(NT_START_UP));
}

TEST(NotificationBus, NullObserverAndNullNotificationAreIgnored)
{
    NotificationCenter bus;
    bus.AddObserver(NT_START_UP, nullptr);
    EXPECT_FALSE(bus.HasName(NT_START_UP));
    bus.Post(nullptr); // must not crash
}

TEST(NotificationBus, DuplicateRegistrationIsCalledTwiceAndOneRemovalMarksBoth)
{
    NotificationCenter bus;
    Recorder a("a");
    bus.AddObserver(NT_GAME_QUIT, &a);
    bus.AddObserver(NT_GAME_QUIT, &a);

    PostName(bus, NT_GAME_QUIT);
    EXPECT_EQ(a.calls, 2);

    bus.RemoveObserver(NT_GAME_QUIT, &a);
    PostName(bus, NT_GAME_QUIT);
    EXPECT_EQ(a.calls, 2);
    EXPECT_EQ(bus.EntryCount(NT_GAME_QUIT), 0u);
    EXPECT_TRUE(bus.HasName(NT_GAME_QUIT)); // an emptied list stays in the map
}

TEST(NotificationBus, SelfRemovalDuringDeliveryFinishesTheCallAndIsPurgedAtNextPost)
{
    NotificationCenter bus;
    Recorder a("a"), b("b");
    a.action = [&](INotification*) { bus.RemoveObserver(NT_START_UP, &a); };
    bus.AddObserver(NT_START_UP, &a);
    bus.AddObserver(NT_START_UP, &a); // a later entry of the same observer
    bus.AddObserver(NT_START_UP, &b);

    PostName(bus, NT_START_UP);
    EXPECT_EQ(a.calls, 1) << "the second entry of a is already marked";
    EXPECT_EQ(b.calls, 1);
    EXPECT_EQ(bus.EntryCount(NT_START_UP), 3u) << "marked entries stay until the next post";

    PostName(bus, NT_START_UP);
    EXPECT_EQ(a.calls, 1);
    EXPECT_EQ(b.calls, 2);
    EXPECT_EQ(bus.EntryCount(NT_START_UP), 1u);
}

// Counts the questions it is asked, like a window that may already be gone.
class CountingObserver final : public IObserver {
public:
    int isSameCalls = 0;
    void OnNotify(INotification*) override {}
    bool IsSame(IObserver* other) override
    {
        ++isSameCalls;
        return other == this;
    }
};

TEST(NotificationBus, AMarkedEntryIsNeverAskedAgainSoItsObserverMayBeGone)
{
    NotificationCenter bus;
    CountingObserver gone, other;
    bus.AddObserver(NT_GAME_QUIT, &gone);
    bus.AddObserver(NT_GAME_QUIT, &other);
    bus.RemoveObserver(NT_GAME_QUIT, &gone);
    const int asked = gone.isSameCalls;

    // `gone` would be destroyed here; nothing may touch it any more.
    bus.RemoveObserver(NT_GAME_QUIT, &other);
    bus.RemoveObserver(NT_GAME_QUIT, &gone);
    PostName(bus, NT_GAME_QUIT);
    EXPECT_EQ(gone.isSameCalls, asked);
    EXPECT_EQ(bus.EntryCount(NT_GAME_QUIT), 0u);
}

TEST(NotificationBus, ObserverRemovingALaterObserverSuppressesItInTheSameWalk)
{
    NotificationCenter bus;
    Recorder a("a"), b("b");
    a.action = [&](INotification*) { bus.RemoveObserver(NT_ENTER_GAME, &b); };
    bus.AddObserver(NT_ENTER_GAME, &a);
    bus.AddObserver(NT_ENTER_GAME, &b);

    PostName(bus, NT_ENTER_GAME);
    EXPECT_EQ(a.calls, 1);
    EXPECT_EQ(b.calls, 0);
}

TEST(NotificationBus, RemovalOnlyAffectsTheGivenName)
{
    NotificationCenter bus;
    Recorder a("a");
    bus.AddObserver(NT_START_UP, &a);
    bus.AddObserver(NT_GAME_QUIT, &a);
    bus.RemoveObserver(NT_START_UP, &a);
    PostName(bus, NT_START_UP);
    PostName(bus, NT_GAME_QUIT);
    EXPECT_EQ(a.names, (std::vector<std::string>{NT_GAME_QUIT}));
}

TEST(NotificationBus, NestedPostOfAnotherNameIsDeliveredBeforeTheOuterWalkContinues)
{
    NotificationCenter bus;
    std::vector<std::string> journal;
    Recorder outer1("outer1", &journal), inner("inner", &journal), outer2("outer2", &journal);
    outer1.action = [&](INotification*) { PostName(bus, NT_GAME_QUIT); };
    bus.AddObserver(NT_START_UP, &outer1);
    bus.AddObserver(NT_START_UP, &outer2);
    bus.AddObserver(NT_GAME_QUIT, &inner);

    PostName(bus, NT_START_UP);
    EXPECT_EQ(journal, (std::vector<std::string>{"outer1", "inner", "outer2"}));
}

TEST(NotificationBus, NestedPostOfTheSameNameNeitherSkipsNorRepeatsTheOuterWalk)
{
    NotificationCenter bus;
    std::vector<std::string> journal;
    Recorder a("a", &journal), b("b", &journal), c("c", &journal), gone("gone", &journal);
    bus.AddObserver(NT_START_UP, &gone);
    bus.AddObserver(NT_START_UP, &a);
    bus.AddObserver(NT_START_UP, &b);
    bus.AddObserver(NT_START_UP, &c);
    bus.RemoveObserver(NT_START_UP, &gone); // marked, purged by a post

    bool reposted = false;
    a.action = [&](INotification*) {
        if (!reposted) {
            reposted = true;
            PostName(bus, NT_START_UP); // would compact the list under the outer walk
        }
    };
    PostName(bus, NT_START_UP);

    // Outer: a, [inner: a, b, c], b, c.
    EXPECT_EQ(journal, (std::vector<std::string>{"a", "a", "b", "c", "b", "c"}));
    EXPECT_EQ(gone.calls, 0);
}

TEST(NotificationBus, RemovalDuringANestedSamePostIsPurgedLater)
{
    NotificationCenter bus;
    Recorder a("a"), b("b");
    int depth = 0;
    a.action = [&](INotification*) {
        if (depth++ == 0) {
            PostName(bus, NT_START_UP);
            bus.RemoveObserver(NT_START_UP, &b);
        }
    };
    bus.AddObserver(NT_START_UP, &a);
    bus.AddObserver(NT_START_UP, &b);
    PostName(bus, NT_START_UP);
    EXPECT_EQ(b.calls, 1) << "called by the inner walk only";
    EXPECT_EQ(bus.EntryCount(NT_START_UP), 2u);
    PostName(bus, NT_START_UP);
    EXPECT_EQ(bus.EntryCount(NT_START_UP), 1u);
    EXPECT_EQ(b.calls, 1);
}

TEST(NotificationBus, ObserverAddedDuringDeliveryIsCalledFromTheNextPostOn)
{
    NotificationCenter bus;
    Recorder a("a"), late("late");
    a.action = [&](INotification*) { bus.AddObserver(NT_CHECK_UPDATE, &late); };
    bus.AddObserver(NT_CHECK_UPDATE, &a);

    PostName(bus, NT_CHECK_UPDATE);
    EXPECT_EQ(late.calls, 0);

    a.action = nullptr;
    PostName(bus, NT_CHECK_UPDATE);
    EXPECT_EQ(late.calls, 1);
}

TEST(NotificationBus, ManyRegistrationsDuringDeliveryKeepTheWalkValid)
{
    // Growth reallocates the list while the walk is inside an observer.
    NotificationCenter bus;
    std::vector<Recorder> extra(200, Recorder("x"));
    Recorder a("a"), b("b");
    a.action = [&](INotification*) {
        for (auto& r : extra)
            bus.AddObserver(NT_START_UP, &r);
    };
    bus.AddObserver(NT_START_UP, &a);
    bus.AddObserver(NT_START_UP, &b);
    PostName(bus, NT_START_UP);
    EXPECT_EQ(b.calls, 1);
    EXPECT_EQ(extra.front().calls, 0);
}

TEST(NotificationBus, ThrowingObserverLeavesTheBusUsable)
{
    NotificationCenter bus;
    Recorder a("a"), b("b");
    a.action = [&](INotification*) { throw std::runtime_error("boom"); };
    bus.AddObserver(NT_START_UP, &a);
    bus.AddObserver(NT_START_UP, &b);
    EXPECT_THROW(PostName(bus, NT_START_UP), std::runtime_error);

    bus.RemoveObserver(NT_START_UP, &a);
    PostName(bus, NT_START_UP); // purges: the delivery depth was restored
    EXPECT_EQ(bus.EntryCount(NT_START_UP), 1u);
    EXPECT_EQ(b.calls, 1);
}

TEST(NotificationBus, Arg1CarriesAStringAddressThatObserversCopy)
{
    NotificationCenter bus;
    std::wstring copied;
    Recorder a("a");
    a.action = [&](INotification* n) { copied = reinterpret_cast<const wchar_t*>(n->Arg1()); };
    bus.AddObserver(NT_ENTER_GAME, &a);
    {
        std::wstring url = L"http://example.test/login.php?id=7";
        Notification n(NT_ENTER_GAME, reinterpret_cast<NotificationArg>(url.c_str()), 0, 0);
        bus.Post(&n);
    } // the poster's string is gone here
    EXPECT_EQ(copied, L"http://example.test/login.php?id=7");
    static_assert(sizeof(NotificationArg) >= sizeof(void*), "Arg1 must hold an address");
}

TEST(NotificationBus, NotificationKeepsItsOwnCopyOfTheName)
{
    std::string name = "NT_START_UP";
    auto* n = new Notification(name, 1, -2, 3);
    name[0] = 'X';
    EXPECT_EQ(n->Name(), "NT_START_UP");
    EXPECT_EQ(n->Arg1(), 1);
    EXPECT_EQ(n->Arg2(), -2);
    EXPECT_EQ(n->Arg3(), 3);
    n->Release();
}

TEST(NotificationBus, InstanceIsOneProcessWideRegistry)
{
    NotificationCenter& first = NotificationCenter::Instance();
    EXPECT_EQ(&first, &NotificationCenter::Instance());
}

} // namespace
