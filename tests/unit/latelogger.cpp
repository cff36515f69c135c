// Logs from where a program can still log after main() has returned: a
// static destructor, and a thread that nobody stopped. Started by the
// launcher library test with the log's folder in its environment.
#include "log.h"

#include <QCoreApplication>

#include <atomic>
#include <cstring>
#include <thread>

namespace {

// Constructed before the log service, so destroyed after it would be.
struct LateLogger {
    ~LateLogger() { qInfo("[Tradory] late line from a static destructor"); }
} lateLogger;

std::atomic<bool> threadLogged{false};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    Log::instance()->startForCef();
    qInfo("[Tradory] line from main");
    if (argc > 1 && std::strcmp(argv[1], "--thread") == 0) {
        std::thread([]() {
            for (int line = 0;; ++line) {
                qInfo("[Tradory] line %d from a thread", line);
                threadLogged = true;
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        }).detach();
        while (!threadLogged)
            std::this_thread::yield();
    }
    return 0;
}
