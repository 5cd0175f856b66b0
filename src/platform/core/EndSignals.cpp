#include "platform/core/EndSignals.h"

#include <pthread.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <new>

namespace {

// What the signal handler and a tied child both see: a page shared across
// fork, so the engine learns the child's process id from the child itself.
struct Shared {
    std::atomic<int> endAsked;
    std::atomic<pid_t> tiedChild;  // 0 while there is none
};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<pid_t>::is_always_lock_free);

Shared& Page() {
    static Shared* page = [] {
        void* memory = mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        static Shared unshared{};  // without the page only the child's own end is lost
        return memory == MAP_FAILED ? &unshared : new (memory) Shared{};
    }();
    return *page;
}

pid_t engine = 0;
bool tying = false;

void OnEndSignal(int) {
    // kill can set errno, which the interrupted code may be about to read.
    const int savedErrno = errno;
    Page().endAsked = 1;
    if (pid_t child = Page().tiedChild; child > 0) kill(child, SIGKILL);
    errno = savedErrno;
}

// Runs in each new child. Either the child sees the end asked for, or the
// handler sees the child's id: the two stores come before the two loads.
void TieChild() {
    if (!tying) return;
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    Page().tiedChild = getpid();
    if (getppid() != engine || Page().endAsked) _exit(1);
}

}  // namespace

void TakeOverEndSignals() {
    static bool done = false;
    if (done) return;
    done = true;
    Page();
    engine = getpid();
    pthread_atfork(nullptr, nullptr, TieChild);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current {};
        if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) continue;
        struct sigaction handler {};
        handler.sa_handler = OnEndSignal;
        handler.sa_flags = SA_RESTART;
        sigaction(signal, &handler, nullptr);
    }
    // A write to a connection whose other end is gone (the X server or the
    // compositor killed) then fails with EPIPE, which the connection watch
    // reports, instead of SIGPIPE killing the run before it cleans up.
    struct sigaction onPipe {};
    if (sigaction(SIGPIPE, nullptr, &onPipe) == 0 && onPipe.sa_handler == SIG_DFL) std::signal(SIGPIPE, SIG_IGN);
}

bool EndAsked() { return Page().endAsked != 0; }

bool TakeEndRequest() { return Page().endAsked.exchange(0) != 0; }

void TieForkedChildren(bool on) {
    tying = on;
    Page().tiedChild = 0;
}
