#include "job/job_state.h"

#include "app/probe.h"

#include <atomic>
#include <mutex>

namespace job {
namespace {

std::mutex g_folderMutex; // held only while the text is copied in or out
std::string* g_destinationFolder = nullptr;
std::atomic<WindowHandle> g_partnerListHandle{0};
std::atomic<platform::Lock*> g_jobLock{nullptr};
std::atomic<bool> g_released{false};

} // namespace

void InitJobState() {
    std::lock_guard<std::mutex> guard(g_folderMutex);
    g_destinationFolder = new std::string();
    g_jobLock.store(platform::AllocateZeroedLockStorage());
}

void ReleaseJobState() {
    app::ProbeEvent("ReleaseJobState");
    // A worker may still hold the lock or be about to read the folder: their storage is left to
    // the end of the process, which follows at once. The worker stops at its next pass.
    g_released.store(true);
}

bool JobStateReleased() {
    return g_released.load();
}

platform::Lock* CreateJobLock() {
    platform::Lock* lock = platform::AllocateZeroedLockStorage();
    platform::InitializeLock(lock);
    return lock;
}

void InstallJobLock(platform::Lock* lock) {
    platform::Lock* zeroed = g_jobLock.exchange(lock);
    platform::ReleaseLockStorage(zeroed);
}

platform::Lock* JobLock() {
    return g_jobLock.load();
}

std::string DestinationFolder() {
    std::lock_guard<std::mutex> guard(g_folderMutex);
    return g_destinationFolder != nullptr ? *g_destinationFolder : std::string();
}

void SetDestinationFolder(std::string folder) {
    std::lock_guard<std::mutex> guard(g_folderMutex);
    if (g_destinationFolder == nullptr) {
        g_destinationFolder = new std::string();
    }
    g_destinationFolder->swap(folder);
    // The previous value is released as `folder` goes out of scope, outside any reader's use.
}

WindowHandle PartnerListHandle() {
    return g_partnerListHandle.load();
}

void SetPartnerListHandle(WindowHandle handle) {
    g_partnerListHandle.store(handle);
}

} // namespace job
