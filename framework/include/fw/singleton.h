// CSingleton<T>: records the one instance of T. T derives from CSingleton<T>;
// its construction stores the new object, its destruction clears the record,
// and GetInstance() returns the current object (null before and after).
// A second construction simply replaces the first in the record. Platform-neutral.
#pragma once

template <class T>
class CSingleton {
public:
    static T* GetInstance() { return s_instance; }

protected:
    CSingleton() { s_instance = static_cast<T*>(this); }
    ~CSingleton() {
        if (s_instance == static_cast<T*>(this))
            s_instance = nullptr;
    }
    CSingleton(const CSingleton&) = delete;
    CSingleton& operator=(const CSingleton&) = delete;

private:
    static inline T* s_instance = nullptr;
};
