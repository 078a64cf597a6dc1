#include "decode_limit.h"

#include <QImageReader>
#include <QMutex>

namespace {

QMutex liftMutex;
int liftCount = 0;
int limitBefore = 0;

} // namespace

DecodeLimitLift::DecodeLimitLift()
{
    const QMutexLocker locker(&liftMutex);
    if (liftCount++ > 0)
        return;
    limitBefore = QImageReader::allocationLimit();
    // 0 means no limit at all: nothing to lift.
    if (limitBefore != 0 && limitBefore < int(decodeCeilingBytes >> 20))
        QImageReader::setAllocationLimit(int(decodeCeilingBytes >> 20));
}

DecodeLimitLift::~DecodeLimitLift()
{
    const QMutexLocker locker(&liftMutex);
    if (--liftCount == 0)
        QImageReader::setAllocationLimit(limitBefore);
}
