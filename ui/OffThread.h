#pragma once

#include <QApplication>
#include <QEventLoop>
#include <QThread>
#include <QWidget>

#include <exception>
#include <memory>
#include <optional>

// Runs work on a thread of its own, so the window keeps drawing while a slow or unreachable
// server is waited for; the window takes no commands meanwhile. Whatever work throws is
// thrown here.
template <typename Work>
auto RunOffThread(QWidget *window, Work work) -> decltype(work())
{
    std::optional<decltype(work())> result;
    std::exception_ptr failure;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            result.emplace(work());
        } catch (...) {
            failure = std::current_exception();
        }
    }));
    QEventLoop loop;
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    window->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    worker->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker->wait();
    QApplication::restoreOverrideCursor();
    window->setEnabled(true);
    if (failure)
        std::rethrow_exception(failure);
    return std::move(*result);
}
