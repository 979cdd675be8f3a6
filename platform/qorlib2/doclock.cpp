// The lock of the document list: an flock on "data/doclist.lock", taken with a bounded wait and
// nested within the process. A host holds it from the moment it fills the list until its send
// is queued, so two sends of one profile never see each other's documents; every change of the
// list takes it too, so no other process changes the list under a send that holds it.
#include <unistd.h>

#include <string>

#include "qorlib2.h"
#include "qorul.h"
#include "qorul_durable.h"

namespace {

struct DocsLock {
    int depth = 0;
    pid_t pid = 0;
    qorul::FileLock lock;
};

// A child made by fork() starts without the lock: the descriptor it inherited is its parent's.
DocsLock& docsLock() {
    static DocsLock* l = new DocsLock;  // never destroyed: a lock outlives static destruction order
    if (l->pid != ::getpid()) {
        if (l->pid != 0) {
            // Forget the parent's descriptor without unlocking it (the parent still holds it).
            l = new DocsLock;
        }
        l->pid = ::getpid();
    }
    return *l;
}

}  // namespace

int16_t FN_lockdocs(uint32_t, int waitMilliseconds) {
    DocsLock& l = docsLock();
    if (l.depth > 0) {
        ++l.depth;
        return 0;
    }
    if (int16_t st = UL_profileinit()) return st;
    const std::string path = std::string(UL_profileroot()) + "data/doclist.lock";
    int16_t st = l.lock.take(path, waitMilliseconds < 0 ? qorul::lockWaitMilliseconds() : waitMilliseconds);
    if (st == UL_E_LOCKED) return FN_E_BUSY;
    if (st) return st;
    l.depth = 1;
    return 0;
}

int16_t FN_unlockdocs(uint32_t) {
    DocsLock& l = docsLock();
    if (l.depth == 0) return 0;
    if (--l.depth == 0) l.lock.release();
    return 0;
}
