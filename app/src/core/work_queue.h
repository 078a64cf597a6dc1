#pragma once

#include <QMetaObject>
#include <QObject>
#include <QThreadPool>

#include <utility>

// Runs jobs on threads of its own and hands each result to a function on the
// thread of a receiver, through its event loop, so that the job never
// touches the receiver. With one thread the jobs run one after another in
// the order given, and their results arrive in that order.
class WorkQueue
{
public:
    // threads <= 0: as many as the machine has cores.
    explicit WorkQueue(int threads)
    {
        if (threads > 0)
            m_pool.setMaxThreadCount(threads);
    }
    // Jobs not yet started are dropped; running ones are waited for. Their
    // results are not delivered once the receiver is gone, so the receiver
    // should own the queue.
    ~WorkQueue()
    {
        m_pool.clear();
        m_pool.waitForDone();
    }
    WorkQueue(const WorkQueue&) = delete;
    WorkQueue& operator=(const WorkQueue&) = delete;

    // Runs job() on the queue's thread, then done(result) on receiver's thread.
    template <typename Job, typename Done> void run(QObject* receiver, Job job, Done done)
    {
        m_pool.start([receiver, job = std::move(job), done = std::move(done)]() mutable {
            auto result = job();
            QMetaObject::invokeMethod(
                receiver, [done = std::move(done), result = std::move(result)]() mutable { done(std::move(result)); },
                Qt::QueuedConnection);
        });
    }

private:
    QThreadPool m_pool;
};
