// The in-process notification bus: the one channel by which windows and the
// script object tell each other what happened. Platform-free; UI thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Notification names shared by every poster and observer.
extern const char* const NT_CHECK_UPDATE;
extern const char* const NT_START_UP;
extern const char* const NT_ENTER_GAME;
extern const char* const NT_GET_GSNAME;
extern const char* const NT_GET_NEWMSG;
extern const char* const NT_GAME_QUIT;
extern const char* const NT_WEB_ENTER_GAME;

// Arguments are pointer-wide so that Arg1 can carry a string's address.
using NotificationArg = std::intptr_t;

class INotification {
public:
    virtual std::string Name() const = 0;
    virtual NotificationArg Arg1() const = 0;
    virtual NotificationArg Arg2() const = 0;
    virtual NotificationArg Arg3() const = 0;
    virtual ~INotification() = default;
    virtual void Release() = 0;

protected:
    INotification() = default;
    INotification(const INotification&) = default;
    INotification& operator=(const INotification&) = default;
};

class Notification final : public INotification {
public:
    Notification(std::string name, NotificationArg arg1, NotificationArg arg2,
                 NotificationArg arg3);

    std::string Name() const override { return m_name; }
    NotificationArg Arg1() const override { return m_arg1; }
    NotificationArg Arg2() const override { return m_arg2; }
    NotificationArg Arg3() const override { return m_arg3; }
    void Release() override { delete this; }

private:
    std::string m_name;
    NotificationArg m_arg1;
    NotificationArg m_arg2;
    NotificationArg m_arg3;
};

// Implemented by windows as an additional base. The bus never deletes an
// observer, so there is deliberately no virtual destructor here.
class IObserver {
public:
    virtual void OnNotify(INotification* notification) = 0;
    virtual bool IsSame(IObserver* other) = 0;

protected:
    ~IObserver() = default;
};

// One registration: the observer and whether it has been removed. Stored by
// value in the per-name lists; it never owns the observer.
class NativeObserver {
public:
    explicit NativeObserver(IObserver* observer) noexcept : m_observer(observer) {}
    NativeObserver(const NativeObserver&) = default;
    NativeObserver& operator=(const NativeObserver&) = default;
    virtual ~NativeObserver() = default;

    virtual void OnNotify(INotification* notification);
    virtual bool IsSame(IObserver* other);
    virtual void Release() { delete this; }

    bool IsRemoved() const noexcept { return m_removed; }
    void MarkRemoved() noexcept { m_removed = true; }

private:
    IObserver* m_observer;
    bool m_removed = false;
};

class NotificationCenter {
public:
    // The process-wide registry; created on first use and never destroyed.
    static NotificationCenter& Instance();

    NotificationCenter() = default;
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    void AddObserver(std::string name, IObserver* observer);
    void RemoveObserver(const std::string& name, IObserver* observer);
    void Post(INotification* notification);

    // Inspection for diagnostics and tests.
    bool HasName(const std::string& name) const;
    std::size_t EntryCount(const std::string& name) const;

private:
    struct Channel {
        std::vector<NativeObserver> entries;
        int delivering = 0; // nesting depth of walks over this name
    };

    void Purge(const std::string& name);

    std::map<std::string, Channel> m_channels;
};
