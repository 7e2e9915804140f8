#include "BackgroundWriter.h"

#include "FileOperate.h"
#include "GenerationError.h"

namespace {
constexpr std::size_t wakeBatch = 16;
}

TBackgroundWriter::~TBackgroundWriter()
{
    Stop();
}

void TBackgroundWriter::Save(const QString &directory, const QString &fileName,
                                 const QByteArray &bytes)
{
    bool wake = false;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        jobs_.push_back({directory, fileName, bytes});
        if (!thread_.joinable())
            thread_ = std::thread(&TBackgroundWriter::Run, this);
        // A worker still busy takes the file without being woken, and a sleeping one is woken
        // for a handful at a time: a wake-up per file cost more than writing it.
        wake = sleeping_ && jobs_.size() >= wakeBatch;
    }
    if (wake)
        wake_.notify_one();
}

void TBackgroundWriter::Finish()
{
    wake_.notify_one();
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return jobs_.empty() && !busy_; });
    if (failure_)
        throw TGenerationError(*failure_);
}

void TBackgroundWriter::Stop()
{
    {
        // Files not yet written when the run ends early are not written at all.
        const std::lock_guard<std::mutex> lock(mutex_);
        jobs_.clear();
        stopping_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable())
        thread_.join();
}

void TBackgroundWriter::Run()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        sleeping_ = true;
        wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        sleeping_ = false;
        if (jobs_.empty()) {
            if (stopping_)
                return;
            continue;
        }
        TJob job = std::move(jobs_.front());
        jobs_.pop_front();
        if (failure_) {
            // Once one failed, the run fails: the rest is not worth writing.
            if (jobs_.empty())
                idle_.notify_all();
            continue;
        }
        busy_ = true;
        lock.unlock();
        std::optional<QString> failed;
        try {
            // Through a temporary name: a run killed part-way leaves no torn file under a name
            // that says what its bytes are (a stored base is named by their hash).
            TFileOperate::SaveBytes(job.directory, job.fileName, job.bytes);
        } catch (const TGenerationError &error) {
            failed = error.message();
        }
        lock.lock();
        busy_ = false;
        if (failed && !failure_)
            failure_ = failed;
        if (jobs_.empty())
            idle_.notify_all();
    }
}
