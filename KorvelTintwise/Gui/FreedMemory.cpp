#include "Gui/FreedMemory.h"

#include <QCoreApplication>
#include <QThreadPool>
#include <QTimer>

#include <malloc.h>

namespace {

constexpr int LargeBlockBytes = 128 * 1024;
constexpr int ReleaseDelayMs = 1000;
constexpr int ThreadHeaps = 2;

}  // namespace

void ShareHeapsBetweenThreads()
{
    mallopt(M_ARENA_MAX, ThreadHeaps);
}

void MapLargeBlocksApart()
{
    mallopt(M_MMAP_THRESHOLD, LargeBlockBytes);
}

void ReleaseFreedMemorySoon()
{
    static QTimer* timer = nullptr;
    if (timer == nullptr) {
        timer = new QTimer(QCoreApplication::instance());
        timer->setSingleShot(true);
        timer->setInterval(ReleaseDelayMs);
        QObject::connect(timer, &QTimer::timeout, [] {
            // Joins the pool's threads only when none is busy.
            QThreadPool::globalInstance()->waitForDone(0);
            malloc_trim(0);
        });
        QObject::connect(timer, &QObject::destroyed, [] { timer = nullptr; });
    }
    timer->start();
}
