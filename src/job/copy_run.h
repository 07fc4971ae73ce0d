// The copy run: on a worker thread, every listed file copied into the destination folder under
// the typed file type, never overwriting anything.
#pragma once

#include "platform/files.h"

#include <string>

namespace job {

// The body of a worker started by the start request.
void CopyRun();

enum class CopyResult { Copied, AlreadyThere, Failed };

struct CopyOutcome {
    CopyResult result;
    platform::ErrorCode error; // when Failed
    std::string target;        // the name the file has in the folder, when not Failed
};

// Copies `source` into `folder` (ending in a backslash) as `base` + "." + `type`; a file of
// that name with the same content counts as already there, one with other content makes the
// copy go to "base (2).type", "base (3).type" and so on. Goes through a temporary file, so no
// final name ever holds a partial copy.
CopyOutcome CopyListedFile(const std::string& source, const std::string& folder,
                           const std::string& base, const std::string& type);
std::string CandidateName(const std::string& base, const std::string& type, int number);
// Removes what interrupted copies of Fennrow processes no longer running left in `folder`.
void RemoveLeftoverPartialCopies(const std::string& folder);

} // namespace job
