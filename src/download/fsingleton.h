// FSingleton<T>: one instance of T per process, made on first use and never
// destroyed. Not thread-safe: the first call comes from the UI thread.
#pragma once

template <typename T> class FSingleton {
public:
    static T* Instance()
    {
        if (!s_pInstance)
            s_pInstance = new T;
        return s_pInstance;
    }

protected:
    FSingleton() = default;
    ~FSingleton() = default;

private:
    static inline T* s_pInstance = nullptr;
};
