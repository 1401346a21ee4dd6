#pragma once

#include <QtGlobal>

// What every test seam of a window shares: while one exists, the window it stands for shows
// nothing and asks the seam instead. There is one seam of a kind at a time, and answers a test
// queued that nothing asked for are reported when the seam goes. `Derived` names itself in
// those messages through a `static constexpr char kName[]`.
template <typename Derived>
class TestSeam
{
public:
    TestSeam()
    {
        if (s_active)
            qFatal("%s: only one may be active at a time", Derived::kName);
        s_active = static_cast<Derived *>(this);
    }
    ~TestSeam() { s_active = nullptr; }
    TestSeam(const TestSeam &) = delete;
    TestSeam &operator=(const TestSeam &) = delete;

    // The seam in force, or null; what the window calls instead of showing itself.
    static Derived *active() { return s_active; }

protected:
    // For the derived destructor: answers left in the queue mean the test expected a window
    // that never came.
    static void reportUnused(qsizetype answersLeft)
    {
        if (answersLeft > 0)
            qWarning("%s: %lld queued answer(s) never asked for", Derived::kName, static_cast<long long>(answersLeft));
    }

private:
    static inline Derived *s_active = nullptr;
};
