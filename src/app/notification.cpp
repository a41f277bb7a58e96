#include "app/notification.h"

#include <algorithm>
#include <utility>

const char* const NT_CHECK_UPDATE = "NT_CHECK_UPDATE";
const char* const NT_START_UP = "NT_START_UP";
const char* const NT_ENTER_GAME = "NT_ENTER_GAME";
const char* const NT_GET_GSNAME = "NT_GET_GSNAME";
const char* const NT_GET_NEWMSG = "NT_GET_NEWMSG";
const char* const NT_GAME_QUIT = "NT_GAME_QUIT";
const char* const NT_WEB_ENTER_GAME = "NT_WEB_ENTER_GAME";

Notification::Notification(std::string name, NotificationArg arg1, NotificationArg arg2,
                           NotificationArg arg3)
    : m_name(std::move(name)), m_arg1(arg1), m_arg2(arg2), m_arg3(arg3)
{
}

void NativeObserver::OnNotify(INotification* notification)
{
    if (m_observer)
        m_observer->OnNotify(notification);
}

bool NativeObserver::IsSame(IObserver* other)
{
    return m_observer ? m_observer->IsSame(other) : false;
}

NotificationCenter& NotificationCenter::Instance()
{
    // Intentionally leaked: observers may unregister during static teardown.
    static NotificationCenter* const instance = new NotificationCenter;
    return *instance;
}

void NotificationCenter::AddObserver(std::string name, IObserver* observer)
{
    if (!observer)
        return;
    m_channels[std::move(name)].entries.emplace_back(observer);
}

void NotificationCenter::RemoveObserver(const std::string& name, IObserver* observer)
{
    const auto it = m_channels.find(name);
    if (it == m_channels.end())
        return;
    for (NativeObserver& entry : it->second.entries) {
        // A marked entry may outlive its observer, so it is never asked
        // anything again; it is already removed anyway.
        if (!entry.IsRemoved() && entry.IsSame(observer))
            entry.MarkRemoved();
    }
}

void NotificationCenter::Purge(const std::string& name)
{
    const auto it = m_channels.find(name);
    if (it == m_channels.end())
        return;
    // Compacting while a walk over this name is under way would shift the
    // positions that walk relies on; the marks are dropped by a later post.
    if (it->second.delivering > 0)
        return;
    auto& entries = it->second.entries;
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [](const NativeObserver& e) { return e.IsRemoved(); }),
                  entries.end());
}

void NotificationCenter::Post(INotification* notification)
{
    if (!notification)
        return;
    const std::string name = notification->Name();
    Purge(name);
    const auto it = m_channels.find(name);
    if (it == m_channels.end())
        return;

    Channel& channel = it->second; // map nodes are stable; the channel outlives the walk
    struct DeliveryScope {
        int& depth;
        explicit DeliveryScope(int& d) noexcept : depth(d) { ++depth; }
        ~DeliveryScope() { --depth; }
    } scope(channel.delivering);

    // Observers registered during this delivery are not called for it: the
    // walk ends where the list ended when the post began. Removal marks are
    // read afresh at every position, so an observer removed by an earlier
    // callee is skipped.
    const std::size_t end = channel.entries.size();
    for (std::size_t i = 0; i < end && i < channel.entries.size(); ++i) {
        if (channel.entries[i].IsRemoved())
            continue;
        NativeObserver entry = channel.entries[i]; // the list may grow during the call
        entry.OnNotify(notification);
    }
}

bool NotificationCenter::HasName(const std::string& name) const
{
    return m_channels.find(name) != m_channels.end();
}

std::size_t NotificationCenter::EntryCount(const std::string& name) const
{
    const auto it = m_channels.find(name);
    return it == m_channels.end() ? 0 : it->second.entries.size();
}
