#include "interruption.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <unistd.h>

namespace cli {

namespace {

std::atomic<int> caught {0};
static_assert(std::atomic<int>::is_always_lock_free);

void Catch(int signal) { caught.store(signal); }

} // namespace

void CatchInterruptions()
{
    struct sigaction action {};
    action.sa_handler = Catch;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a read of the technician's answer returns at once.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

int Interruption() { return caught.load(); }

int StatusOf(int signal) { return 128 + signal; }

void EndBy(int signal)
{
    std::signal(signal, SIG_DFL);
    ::raise(signal);
    std::_Exit(StatusOf(signal)); // not reached: the signal ends the process
}

} // namespace cli
