#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QThreadPool>

#include <atomic>
#include <utility>

// Runs jobs on threads of its own and hands each result to a function on the
// thread that made the queue (the receiver's), through its event loop, so
// that the job never touches the receiver. With one thread the jobs run one
// after another in the order given, and their results arrive in that order.
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
    // should own the queue, and call finish() first for work that must not be lost.
    ~WorkQueue()
    {
        m_pool.clear();
        m_pool.waitForDone();
    }
    WorkQueue(const WorkQueue&) = delete;
    WorkQueue& operator=(const WorkQueue&) = delete;

    // Runs job() on the queue's thread, then done(result) on the thread that made the queue.
    template <typename Job, typename Done> void run(QObject* receiver, Job job, Done done)
    {
        ++m_undelivered;
        m_pool.start([this, receiver = QPointer<QObject>(receiver), job = std::move(job),
                      done = std::move(done)]() mutable {
            auto result = job();
            QMetaObject::invokeMethod(
                &m_results,
                [this, receiver = std::move(receiver), done = std::move(done), result = std::move(result)]() mutable {
                    --m_undelivered;
                    if (receiver)
                        done(std::move(result));
                },
                Qt::QueuedConnection);
        });
    }

    // For the receiver's last moments: runs every job given so far and
    // delivers its result, then the same for the jobs those results give, for
    // at most limitMs. False when it had to give up; the rest is then dropped
    // as by the destructor. Only this queue's results are delivered here.
    bool finish(int limitMs)
    {
        const QDeadlineTimer deadline(limitMs);
        while (m_undelivered > 0) {
            if (!m_pool.waitForDone(int(deadline.remainingTime())))
                return false;
            QCoreApplication::sendPostedEvents(&m_results, QEvent::MetaCall);
        }
        return true;
    }

private:
    // Results are posted here rather than to the receiver, so that finish()
    // can deliver them without running anything else the receiver was sent.
    QObject m_results;
    std::atomic<int> m_undelivered{0};
    QThreadPool m_pool;
};
