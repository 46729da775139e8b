#include "data/mapping_guard.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <mutex>

namespace mining {

namespace {

// One guarded mapping. The handler reads the slots on whatever thread faulted, so every field
// is a lock-free atomic; `state` is written last when a slot is taken and first when it is freed.
struct Slot {
    enum : int { kFree, kTaking, kActive };
    std::atomic<int> state{kFree};
    std::atomic<std::uintptr_t> begin{0};
    std::atomic<std::size_t> size{0};
    std::atomic<bool> faulted{false};
};

std::array<Slot, kGuardedMappings> slots;
struct sigaction previousAction {};
std::uintptr_t pageSize = 4096;

// Passes a SIGBUS that is not a guarded mapping's to the handler that was there before, or ends
// the process by it as the system would have.
void passOn(int signal, siginfo_t* info, void* context) {
    if ((previousAction.sa_flags & SA_SIGINFO) != 0) {
        if (previousAction.sa_sigaction != nullptr)
            previousAction.sa_sigaction(signal, info, context);
        return;
    }
    const auto handler = previousAction.sa_handler;
    if (handler == SIG_IGN && info->si_code <= 0) return;  // sent by a process, and ignored
    if (handler != SIG_DFL && handler != SIG_IGN) {
        handler(signal);
        return;
    }
    // Blocked while this handler runs: delivered, by the default action, once it returns.
    ::signal(signal, SIG_DFL);
    raise(signal);
}

// Maps zero pages over a guarded mapping from the page that faulted to its end: a file cut short
// loses every page past its new end.
void onBusError(int signal, siginfo_t* info, void* context) {
    const int savedErrno = errno;
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    // Only a fault the system raised has an address; one sent by a process has none.
    for (Slot& slot : slots) {
        if (info->si_code <= 0) break;
        if (slot.state.load(std::memory_order_acquire) != Slot::kActive) continue;
        const std::uintptr_t begin = slot.begin.load(std::memory_order_relaxed);
        const std::uintptr_t end = begin + slot.size.load(std::memory_order_relaxed);
        if (address < begin || address >= end) continue;
        const std::uintptr_t page = address & ~(pageSize - 1);
        void* zeros = mmap(reinterpret_cast<void*>(page), end - page, PROT_READ,
                           MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (zeros == MAP_FAILED) break;
        slot.faulted.store(true, std::memory_order_release);
        errno = savedErrno;
        return;
    }
    errno = savedErrno;
    passOn(signal, info, context);
}

// Returns true once the handler is in place.
bool installHandler() {
    static std::once_flag once;
    static bool installed = false;
    std::call_once(once, [] {
        pageSize = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
        struct sigaction action {};
        action.sa_sigaction = onBusError;
        action.sa_flags = SA_SIGINFO | SA_RESTART | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        installed = sigaction(SIGBUS, nullptr, &previousAction) == 0 &&
                    sigaction(SIGBUS, &action, nullptr) == 0;
    });
    return installed;
}

}  // namespace

int guardMapping(const void* begin, std::size_t size) {
    if (!installHandler()) return -1;
    for (std::size_t k = 0; k < slots.size(); ++k) {
        Slot& slot = slots[k];
        int expected = Slot::kFree;
        if (!slot.state.compare_exchange_strong(expected, Slot::kTaking)) continue;
        slot.begin.store(reinterpret_cast<std::uintptr_t>(begin), std::memory_order_relaxed);
        slot.size.store(size, std::memory_order_relaxed);
        slot.faulted.store(false, std::memory_order_relaxed);
        slot.state.store(Slot::kActive, std::memory_order_release);
        return static_cast<int>(k);
    }
    return -1;
}

bool mappingFaulted(int slot) {
    return slots[static_cast<std::size_t>(slot)].faulted.load(std::memory_order_acquire);
}

void unguardMapping(int slot) {
    if (slot >= 0) slots[static_cast<std::size_t>(slot)].state.store(Slot::kFree);
}

}  // namespace mining
