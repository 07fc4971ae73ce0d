// Worker threads and the job lock.
#pragma once

namespace platform {

// Starts a worker running `body` (default security, default stack, not suspended). Nothing waits
// for it. Returns false when no thread could be started.
bool StartWorker(void (*body)());
// Workers started by StartWorker that have not yet returned.
int ActiveWorkerCount();

// A process-wide mutual-exclusion lock (a Win32 critical section).
struct Lock;
Lock* AllocateZeroedLockStorage();
void InitializeLock(Lock* lock);
void ReleaseLockStorage(Lock* lock);
void EnterLock(Lock* lock);
void LeaveLock(Lock* lock);

} // namespace platform
