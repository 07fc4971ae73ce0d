#include "platform/threads.h"

#include "platform/late_functions.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>

namespace platform {

struct Lock {
    CRITICAL_SECTION section;
};

namespace {

std::atomic<int> g_activeWorkers{0};

DWORD WINAPI RunWorker(LPVOID parameter) {
    auto body = reinterpret_cast<void (*)()>(parameter);
    body();
    g_activeWorkers.fetch_sub(1);
    return 0;
}

} // namespace

bool StartWorker(void (*body)()) {
    g_activeWorkers.fetch_add(1);
    HANDLE thread =
        late::CreateThread(nullptr, 0, RunWorker, reinterpret_cast<LPVOID>(body), 0, nullptr);
    if (thread == nullptr) {
        g_activeWorkers.fetch_sub(1);
        return false;
    }
    CloseHandle(thread);
    return true;
}

int ActiveWorkerCount() {
    return g_activeWorkers.load();
}

Lock* AllocateZeroedLockStorage() {
    return static_cast<Lock*>(std::calloc(1, sizeof(Lock)));
}

void InitializeLock(Lock* lock) {
    late::InitializeCriticalSection(&lock->section);
}

void ReleaseLockStorage(Lock* lock) {
    std::free(lock);
}

void EnterLock(Lock* lock) {
    late::EnterCriticalSection(&lock->section);
}

void LeaveLock(Lock* lock) {
    late::LeaveCriticalSection(&lock->section);
}

} // namespace platform
