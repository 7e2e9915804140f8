#pragma once

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

// Writes new files on a thread of its own while the run goes on building text, for files
// nobody sees before the run ends (the stored bases of a new output folder). The first
// failure is kept and thrown by Finish; later files are then skipped. Destroyed before
// Finish, it drops the files still queued.
class TBackgroundWriter {
public:
    TBackgroundWriter() = default;
    ~TBackgroundWriter();
    TBackgroundWriter(const TBackgroundWriter &) = delete;
    TBackgroundWriter &operator=(const TBackgroundWriter &) = delete;

    // Queues a file, written like TFileOperate::SaveBytes: through a temporary name, so that a
    // process killed part-way never leaves it torn under its name; the folder is created when
    // missing.
    void Save(const QString &directory, const QString &fileName, const QByteArray &bytes);
    // Waits until every queued file is written; throws the first failure.
    void Finish();

private:
    struct TJob {
        QString directory;
        QString fileName;
        QByteArray bytes;
    };
    void Run();
    void Stop();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<TJob> jobs_;
    bool busy_ = false;
    bool stopping_ = false;
    bool sleeping_ = false; // the worker waits for work
    std::optional<QString> failure_;
    std::thread thread_;
};
