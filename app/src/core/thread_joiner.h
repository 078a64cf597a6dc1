#pragma once

#include <thread>
#include <vector>

// Joins the threads of a vector however the scope is left, so that an
// exception while starting them never destroys a running thread.
class ThreadJoiner
{
public:
    explicit ThreadJoiner(std::vector<std::thread>& threads) : m_threads(threads) {}
    ~ThreadJoiner()
    {
        for (std::thread& thread : m_threads) {
            if (thread.joinable())
                thread.join();
        }
    }
    ThreadJoiner(const ThreadJoiner&) = delete;
    ThreadJoiner& operator=(const ThreadJoiner&) = delete;

private:
    std::vector<std::thread>& m_threads;
};
