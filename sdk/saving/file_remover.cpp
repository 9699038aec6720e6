// The remover's thread, its queue of files and folders, and its end.
#include "file_remover.h"

#include "own_file_names.h"

#include <condition_variable>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <vector>

namespace {

struct Remover {
    std::mutex finishing; // one FinishRemovals at a time
    std::mutex mutex;     // everything below
    std::condition_variable wake;
    std::thread thread;
    bool running = false;
    bool stopping = false; // FinishRemovals waits for the thread: removals go inline meanwhile
    std::vector<std::filesystem::path> files;
    std::vector<std::filesystem::path> folders;
    std::vector<std::filesystem::path> refused; // held open by another program when removed
    std::set<std::filesystem::path> foldersSeen;
};

// Never destroyed: at process exit the thread may still run and use it.
Remover &TheRemover()
{
    static Remover *const remover = new Remover;
    return *remover;
}

// False when the file is there and could not be removed.
bool RemoveQuietly(const std::filesystem::path &file)
{
    std::error_code error;
    std::filesystem::remove(file, error);
    return !error;
}

// Unlocks while it removes: tries again each file that was refused before, keeps those
// refused again.
void RetryRefused(Remover *remover, std::unique_lock<std::mutex> &lock)
{
    std::vector<std::filesystem::path> refused;
    refused.swap(remover->refused);
    lock.unlock();
    std::vector<std::filesystem::path> stillRefused;
    for (const std::filesystem::path &file : refused) {
        if (!RemoveQuietly(file))
            stillRefused.push_back(file);
    }
    lock.lock();
    remover->refused.insert(remover->refused.end(), stillRefused.begin(), stillRefused.end());
}

void RemoveOtherRunsFiles(const std::filesystem::path &folder)
{
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        if (IsOtherRunsOwnFile(entry->path().filename().string()))
            RemoveQuietly(entry->path());
    }
}

// Takes one job at a time, without the lock while it removes; ends once stopping and idle.
void RunRemovals(Remover *remover)
{
    std::unique_lock<std::mutex> lock(remover->mutex);
    for (;;) {
        remover->wake.wait(lock, [remover] {
            return remover->stopping || !remover->files.empty() || !remover->folders.empty();
        });
        if (!remover->folders.empty()) {
            const std::filesystem::path folder = std::move(remover->folders.back());
            remover->folders.pop_back();
            lock.unlock();
            RemoveOtherRunsFiles(folder);
            lock.lock();
        } else if (!remover->files.empty()) {
            const std::filesystem::path file = std::move(remover->files.back());
            remover->files.pop_back();
            lock.unlock();
            RemoveQuietly(file);
            lock.lock();
            RetryRefused(remover, lock);
        } else {
            RetryRefused(remover, lock);
            remover->refused.clear();
            return;
        }
    }
}

// Under the lock: true when the thread runs and takes jobs, starting it when needed.
bool AcceptsJobs(Remover *remover)
{
    if (remover->stopping)
        return false;
    if (remover->running)
        return true;
    try {
        remover->thread = std::thread(RunRemovals, remover);
    } catch (const std::system_error &) {
        return false; // no thread: the caller removes inline
    }
    remover->running = true;
    return true;
}

} // namespace

void RemoveLater(const std::filesystem::path &file)
{
    Remover &remover = TheRemover();
    {
        std::lock_guard<std::mutex> lock(remover.mutex);
        if (remover.files.size() < kPendingRemovals && AcceptsJobs(&remover)) {
            remover.files.push_back(file);
            remover.wake.notify_one();
            return;
        }
    }
    RemoveQuietly(file);
}

void RemoveOnceReleased(const std::filesystem::path &file)
{
    if (RemoveQuietly(file))
        return;
    Remover &remover = TheRemover();
    std::lock_guard<std::mutex> lock(remover.mutex);
    if (AcceptsJobs(&remover))
        remover.refused.push_back(file);
}

void RemoveOtherRunsFilesOnce(const std::filesystem::path &folder)
{
    std::error_code error;
    std::filesystem::path absolute =
        std::filesystem::absolute(folder.empty() ? "." : folder, error);
    if (error)
        absolute = folder;
    Remover &remover = TheRemover();
    {
        std::lock_guard<std::mutex> lock(remover.mutex);
        if (!remover.foldersSeen.insert(absolute).second)
            return;
        if (AcceptsJobs(&remover)) {
            remover.folders.push_back(absolute);
            remover.wake.notify_one();
            return;
        }
    }
    RemoveOtherRunsFiles(absolute);
}

void FinishRemovals()
{
    Remover &remover = TheRemover();
    std::lock_guard<std::mutex> finishing(remover.finishing);
    std::thread thread;
    {
        std::lock_guard<std::mutex> lock(remover.mutex);
        if (!remover.running)
            return;
        remover.stopping = true;
        thread = std::move(remover.thread);
    }
    remover.wake.notify_one();
    thread.join();
    std::lock_guard<std::mutex> lock(remover.mutex);
    remover.running = false;
    remover.stopping = false;
}
