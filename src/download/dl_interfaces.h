// What callers of the download manager see: the manager, one queued task,
// the sink that hears of a task's progress, and the record that describes a
// task to add.
#pragma once

#include <cstdint>

// Task status values (IDLTask::GetStatus).
enum : int {
    DLS_QUEUED = 0,      // created, waiting in the queue
    DLS_DOWNLOADING = 1, // the server accepted the request
    DLS_DONE = 2,        // the file is in place under its final name
    DLS_FAILED = 3,      // any failure
};

class IDLTask {
public:
    virtual const wchar_t* GetUrl() const = 0;
    virtual int GetStatus() const = 0;
    virtual int GetTotalSize() const = 0;
    virtual int GetReceivedSize() const = 0;
    virtual const wchar_t* GetSaveDir() const = 0;
    virtual int GetUserData() const = 0;
    virtual ~IDLTask() = default;

protected:
    IDLTask() = default;
    IDLTask(const IDLTask&) = default;
    IDLTask& operator=(const IDLTask&) = default;
};

// Called on the download worker thread, with no lock held.
class IDLTaskSink {
public:
    virtual void OnTaskBegin(IDLTask* task) = 0;
    virtual void OnTaskProgress(IDLTask* task) = 0;
    virtual void OnTaskEnd(IDLTask* task) = 0;

protected:
    ~IDLTaskSink() = default; // sinks are not destroyed through this interface
};

// Copied by IDLMgr::AddTask; the caller may discard it when the call returns.
struct DLTaskDesc {
    wchar_t szUrl[512] = {};      // required
    wchar_t szSaveDir[260] = {};  // empty: the running executable's directory
    wchar_t szFileName[64] = {};  // empty: the part of the URL after its last separator
    bool bOverwrite = false;      // download even when the target file exists
    int nUserData = 0;            // handed back by IDLTask::GetUserData
    IDLTaskSink* pSink = nullptr; // may be null: no callbacks
};

class IDLMgr {
public:
    // Ignores its arguments; true.
    virtual bool Init(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) = 0;
    // The new task, owned by the manager and destroyed after its OnTaskEnd has
    // returned; null when the description is unusable.
    virtual IDLTask* AddTask(const DLTaskDesc* desc) = 0;
    // Tasks waiting in the queue.
    virtual int GetTaskCount() = 0;
    // The server's Content-Length for `url`; -1 when it reports none or on failure.
    virtual int GetRemoteFileSize(const wchar_t* url) = 0;
    virtual void Start() = 0;
    virtual void Stop() = 0;
    // Destroys the manager.
    virtual void Release() = 0;
    // Ends the download under way as failed as soon as it can, and the tasks
    // added after it until the next Start; returns at once.
    virtual void Cancel() = 0;

protected:
    ~IDLMgr() = default; // destroyed through Release only
};
