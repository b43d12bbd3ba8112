#include "Common/Application/MultipleInstancesGuard.h"

#include "WindowsStandIn/NamedObjects.h"

#include <QCryptographicHash>

#include <cstring>

namespace Korvel::DisplayCalibration::Common::Application {
namespace {

constexpr qsizetype SegmentSize = 2 * sizeof(std::uint32_t);
constexpr int Success = 0;
constexpr int CannotAttach = 2;
constexpr int NoData = 3;

QString Digest(const QString& text, const char* suffix)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8() + QByteArray(suffix), QCryptographicHash::Sha1).toHex());
}

}  // namespace

// QSharedMemory's create, attach and detach take the segment's lock themselves, and lock() fails
// before the first of them has run: the lock is taken only around reading and writing the data.

MultipleInstancesGuard::MultipleInstancesGuard(const QString& key)
    : key(key), segmentKey(Digest(key, "_sharedmemKey")), sharedMemory(WinSim::LocalObjectName(segmentKey))
{
}

MultipleInstancesGuard::~MultipleInstancesGuard()
{
    if (!owner && sharedMemory.isAttached()) {
        sharedMemory.detach();
    }
}

int MultipleInstancesGuard::IsAnotherInstanceRunning()
{
    if (owner) {
        return 0;
    }
    if (sharedMemory.isAttached()) {
        sharedMemory.detach();
    }
    // The first instance holds a lock the kernel releases when it ends: without its holder, a
    // segment still there was left by an ended instance.
    auto lock = std::make_unique<WinSim::NamedLock>(segmentKey);
    if (lock->HeldByAnother()) {
        return 1;
    }
    const bool alone = lock->Held();
    if (alone) {
        instanceLock = std::move(lock);
    }
    // A segment whose owner was killed stays behind; attaching and detaching removes it when this
    // process was its last user, and leaves a running instance's segment alone.
    if (sharedMemory.attach()) {
        sharedMemory.detach();
    }
    if (sharedMemory.create(SegmentSize, QSharedMemory::ReadWrite)) {
        owner = true;
        return 0;
    }
    // A left segment that cannot be freed yet: this start runs on as the first instance and uses
    // that segment, which later starts find under the same key.
    return sharedMemory.error() == QSharedMemory::AlreadyExists && !alone ? 1 : 0;
}

bool MultipleInstancesGuard::Attach()
{
    return sharedMemory.isAttached() || sharedMemory.attach(QSharedMemory::ReadWrite);
}

int MultipleInstancesGuard::ReadData(std::uint64_t& value)
{
    if (!Attach() || !sharedMemory.lock()) {
        return CannotAttach;
    }
    const auto* data = static_cast<const unsigned char*>(sharedMemory.constData());
    if (data == nullptr || sharedMemory.size() < SegmentSize) {
        sharedMemory.unlock();
        return NoData;
    }
    std::uint32_t halves[2];
    std::memcpy(halves, data, sizeof halves);
    sharedMemory.unlock();
    value = std::uint64_t(halves[0]) | std::uint64_t(halves[1]) << 32;
    return Success;
}

int MultipleInstancesGuard::WriteData(std::uint32_t low, std::uint32_t high)
{
    if (!Attach() || !sharedMemory.lock()) {
        return CannotAttach;
    }
    auto* data = static_cast<unsigned char*>(sharedMemory.data());
    if (data == nullptr || sharedMemory.size() < SegmentSize) {
        sharedMemory.unlock();
        return NoData;
    }
    const std::uint32_t halves[2] = {low, high};
    std::memcpy(data, halves, sizeof halves);
    sharedMemory.unlock();
    return Success;
}

QString MultipleInstancesGuard::ErrorString() const
{
    return sharedMemory.errorString();
}

}  // namespace Korvel::DisplayCalibration::Common::Application
