#pragma once
#include <QCoreApplication>
#include <QPointer>

// A window that lives for the whole run, one instance program-wide. The
// program creates it at start (instance() in the start-up order); a test gets
// it on first use. It is destroyed by destroy() or, at the latest, when the
// application object goes away.
template <class T>
class TLongLived {
public:
    static T &instance()
    {
        if (!slot()) {
            slot() = new T(nullptr);
            qAddPostRoutine(&TLongLived::destroy);
        }
        return *slot();
    }
    static bool exists() { return !slot().isNull(); }
    static void destroy()
    {
        delete slot().data();
        slot() = nullptr;
    }

private:
    static QPointer<T> &slot()
    {
        static QPointer<T> p;
        return p;
    }
};
