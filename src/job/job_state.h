// What the start request, the copy run and the partner status share across threads.
#pragma once

#include "platform/threads.h"

#include <cstdint>
#include <string>

namespace job {

using WindowHandle = std::uintptr_t; // 0: none

void InitJobState();
// The exit routine. Leaves what a still-running worker may use to the end of the process, and
// tells such a worker to stop at its next step.
void ReleaseJobState();
bool JobStateReleased();

platform::Lock* CreateJobLock();
// Replaces the zero-filled storage held since start-up by a created lock.
void InstallJobLock(platform::Lock* lock);
platform::Lock* JobLock();

// Each reader gets the whole old or the whole new value, never a torn one.
std::string DestinationFolder();
void SetDestinationFolder(std::string folder);

WindowHandle PartnerListHandle();
void SetPartnerListHandle(WindowHandle handle);

} // namespace job
