#pragma once
// The decoding's between-files seam (setBetweenFilesForTesting) watched by a
// test while this lives. Only a stoppable decoding, the read-ahead's, calls
// it, before every file but the first: each call is counted and, when
// `holding`, kept there until the read-ahead's stop is asked for, the test
// lets it go, or four seconds pass; so a test does not depend on how fast
// files decode. For programs that link the module's code.

#include "FrameDecoding.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

struct BetweenFiles {
    std::mutex lock;
    std::condition_variable changed;
    int inside = 0;       // threads held now
    int reached = 0;      // calls so far
    bool sawStop = true;  // each held thread was let go by the stop
    std::atomic<bool> letGo{false};

    explicit BetweenFiles(bool holding)
    {
        setBetweenFilesForTesting([this, holding](const std::function<bool()>& stopWanted) {
            hold(holding, stopWanted);
        });
    }
    ~BetweenFiles() { setBetweenFilesForTesting(nullptr); }
    BetweenFiles(const BetweenFiles&) = delete;
    BetweenFiles& operator=(const BetweenFiles&) = delete;

    int reachedSoFar()
    {
        const std::lock_guard<std::mutex> guard(lock);
        return reached;
    }

    // Waits up to `limit` for `condition`, which is checked with `lock` held.
    bool waitFor(const std::function<bool()>& condition,
                 std::chrono::milliseconds limit = std::chrono::seconds(6))
    {
        std::unique_lock<std::mutex> guard(lock);
        return changed.wait_for(guard, limit, condition);
    }

private:
    void hold(bool holding, const std::function<bool()>& stopWanted)
    {
        {
            const std::lock_guard<std::mutex> guard(lock);
            ++inside;
            ++reached;
        }
        changed.notify_all();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(4);
        while (holding && !stopWanted() && !letGo && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        {
            const std::lock_guard<std::mutex> guard(lock);
            sawStop = sawStop && stopWanted();
            --inside;
        }
        changed.notify_all();
    }
};
