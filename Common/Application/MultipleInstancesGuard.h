// Keeps one running instance per machine: the first start creates a named 8-byte shared segment, a
// later start finds it there and writes one value into it for the first instance to read.
#pragma once

#include "WindowsStandIn/NamedObjects.h"

#include <QSharedMemory>
#include <QString>

#include <cstdint>
#include <memory>

namespace Korvel::DisplayCalibration::Common::Application {

class MultipleInstancesGuard {
public:
    // Derives the segment's key from `key`; touches no segment yet.
    explicit MultipleInstancesGuard(const QString& key);
    // A non-owner detaches; the owner's segment disappears with its last attachment.
    ~MultipleInstancesGuard();
    MultipleInstancesGuard(const MultipleInstancesGuard&) = delete;
    MultipleInstancesGuard& operator=(const MultipleInstancesGuard&) = delete;

    // 1 when another instance holds the segment, else 0 (this object then owns it, unless creating
    // it failed for another reason). A segment left by an ended instance is freed first; one that
    // cannot be freed yet counts only while the instance that made it runs.
    int IsAnotherInstanceRunning();
    // The value in the segment (low half first): 0, 2 when the segment cannot be attached, 3 when
    // it holds no data.
    int ReadData(std::uint64_t& value);
    // Stores the two halves, low first; 0, 2 or 3 as ReadData.
    int WriteData(std::uint32_t low, std::uint32_t high);
    QString ErrorString() const;

    // SHA-1 of the key and "_sharedmemKey", lower-case hexadecimal.
    QString SegmentKey() const { return segmentKey; }

private:
    bool Attach();

    QString key;
    QString segmentKey;
    QSharedMemory sharedMemory;
    bool owner = false;
    // Held by the running first instance for its whole run.
    std::unique_ptr<WinSim::NamedLock> instanceLock;
};

}  // namespace Korvel::DisplayCalibration::Common::Application
