#pragma once

#include <QObject>
#include <functional>

namespace nimbary {

// Runs `f` in the GUI thread on behalf of `context`, as a call to a
// GUI-thread object would: later from another thread (and, with `later`,
// from the GUI thread too), else at once; not at all when `context` is gone
// by then. Calls from one thread run in the order made.
//
// Worker threads hand their calls over through a queue under std::mutex, not
// as functors in Qt's event queue: ThreadSanitizer cannot see the locks of an
// uninstrumented Qt, and takes a functor written by one thread and read by
// another for a race.
void PostToGuiThread(QObject* context, std::function<void()> f, bool later = false);

}  // namespace nimbary
