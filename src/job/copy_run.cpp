#include "job/copy_run.h"

#include "app/main_window.h"
#include "app/notices.h"
#include "job/job_state.h"
#include "job/path_helpers.h"
#include "partner/partner_list.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

namespace job {
namespace {

constexpr int kMaxPasses = 7000;
constexpr int kMaxNameNumber = 9999;
constexpr const char* kPartialPrefix = "~fennrow-";
constexpr const char* kPartialSuffix = ".fennrow-partial";
constexpr const char* kNoListNotice = "请先在CHK文件恢复专家中搜索并且选择所需要恢复的";
constexpr platform::ErrorCode kFileNotFound = 2;    // ERROR_FILE_NOT_FOUND
constexpr platform::ErrorCode kInvalidName = 123;   // ERROR_INVALID_NAME
constexpr platform::ErrorCode kNotAFile = 267;      // ERROR_DIRECTORY
constexpr platform::ErrorCode kFileExists = 80;     // ERROR_FILE_EXISTS
constexpr platform::ErrorCode kAlreadyExists = 183; // ERROR_ALREADY_EXISTS

// "~fennrow-<process id>-<sequence>.fennrow-partial": short, so a copy whose final name is
// near the path limit is not refused because of its temporary name.
std::string PartialCopyPath(const std::string& folder) {
    static std::atomic<unsigned> sequence{0};
    return JoinText({folder, kPartialPrefix, std::to_string(platform::CurrentProcessId()), "-",
                     std::to_string(sequence.fetch_add(1)), kPartialSuffix});
}

bool IsExistsError(platform::ErrorCode error) {
    return error == kFileExists || error == kAlreadyExists;
}

struct RunReport {
    int failures = 0;
    std::string firstFailedItem;
    platform::ErrorCode firstError = 0;

    void Record(const std::string& item, const CopyOutcome& outcome) {
        if (outcome.result != CopyResult::Failed) {
            return;
        }
        if (failures++ == 0) {
            firstFailedItem = item;
            firstError = outcome.error;
        }
    }
};

void ShowFailureReport(const RunReport& report) {
    std::string reason = platform::SystemErrorText(report.firstError);
    app::ShowPlainNotice(
        JoinText({"有 ", std::to_string(report.failures),
                  " 个文件未能复制。\r\n\r\n第一个未能复制的文件：", report.firstFailedItem,
                  "\r\n原因：", reason, "（错误代码 ", std::to_string(report.firstError), "）"}));
}

} // namespace

std::string CandidateName(const std::string& base, const std::string& type, int number) {
    if (number <= 1) {
        return JoinText({base, ".", type});
    }
    return JoinText({base, " (", std::to_string(number), ").", type});
}

void RemoveLeftoverPartialCopies(const std::string& folder) {
    for (const std::string& name :
         platform::FileNamesMatching(folder, "~fennrow-*.fennrow-partial")) {
        unsigned long owner = std::strtoul(name.c_str() + std::strlen(kPartialPrefix), nullptr, 10);
        if (owner != platform::CurrentProcessId() && !platform::ProcessIsRunning(owner)) {
            platform::RemoveFile(folder + name);
        }
    }
}

CopyOutcome CopyListedFile(const std::string& source, const std::string& folder,
                           const std::string& base, const std::string& type) {
    // Nothing in a listed name or the typed type may lead out of the folder or into a stream.
    if (platform::HasCharacterUnfitForFileName(CandidateName(base, type, 1))) {
        return {CopyResult::Failed, kInvalidName, {}};
    }
    if (!platform::IsRegularFile(source)) {
        return {CopyResult::Failed, platform::EntryExists(source) ? kNotAFile : kFileNotFound, {}};
    }
    std::string partial = PartialCopyPath(folder);
    if (platform::ErrorCode error = platform::CopyToNewFile(source, partial)) {
        platform::RemoveFile(partial);
        return {CopyResult::Failed, error, {}};
    }
    for (int number = 1; number <= kMaxNameNumber; ++number) {
        std::string name = CandidateName(base, type, number);
        std::string target = folder + name;
        // The move itself tells whether the name is free: under Wine every look-up of a missing
        // name reads the whole folder, so looking first would add one such read per file.
        platform::ErrorCode error = platform::MoveToFreeName(partial, target);
        if (error == 0) {
            return {CopyResult::Copied, 0, name};
        }
        if (!IsExistsError(error) && !platform::EntryExists(target)) {
            platform::RemoveFile(partial);
            return {CopyResult::Failed, error, {}};
        }
        // The name is taken: by this very file (an earlier run), or by another entry.
        if (platform::IsRegularFile(target) && platform::SameContent(partial, target)) {
            platform::RemoveFile(partial);
            return {CopyResult::AlreadyThere, 0, name};
        }
    }
    platform::RemoveFile(partial);
    return {CopyResult::Failed, kFileExists, {}};
}

void CopyRun() {
    platform::Lock* lock = JobLock();
    platform::EnterLock(lock);
    RunReport report;
    std::set<std::string> cleanedFolders;
    for (int pass = 1; pass <= kMaxPasses && !JobStateReleased(); ++pass) {
        if (partner::ReadListItem(PartnerListHandle(), 0).empty()) {
            app::ShowPlainNotice(kNoListNotice);
            break;
        }
        std::string current = partner::ReadListItem(PartnerListHandle(), pass - 1);
        app::SetControlText(app::Control::透明标签3,
                            partner::ReadListItem(PartnerListHandle(), pass - 2));
        if (current.empty()) {
            // The end of the list only while the list is still there: a partner that closed or
            // stopped answering between the two reads must not end the run as if it were done.
            if (partner::ReadListItem(PartnerListHandle(), 0).empty()) {
                app::ShowPlainNotice(kNoListNotice);
            }
            break;
        }
        std::string base = GetFileBaseName(current, false);
        std::string type = app::GetControlText(app::Control::编辑框2);
        std::string folder = DestinationFolder();
        if (cleanedFolders.insert(folder).second) {
            RemoveLeftoverPartialCopies(folder);
        }
        report.Record(current, CopyListedFile(current, folder, base, type));
    }
    if (report.failures > 0 && !JobStateReleased()) {
        ShowFailureReport(report);
    }
    platform::LeaveLock(lock);
}

} // namespace job
