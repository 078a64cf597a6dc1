#pragma once

#include <QtGlobal>

// Qt refuses to decode beyond QImageReader::allocationLimit() (128 MB by
// default: an 8000 x 6000 photo needs 192 MB). A picture may use up to this
// much; anything larger is treated as unreadable.
constexpr qint64 decodeCeilingBytes = qint64(1) << 30;
// Upper bound of the bytes per pixel any image handler decodes into.
constexpr qint64 decodedBytesPerPixel = 8;

// Raises Qt's process-wide decode limit to decodeCeilingBytes while at least
// one of these lives, on any thread, and puts the previous limit back when
// the last one goes. Readers elsewhere meanwhile get the higher limit too.
class DecodeLimitLift
{
public:
    DecodeLimitLift();
    ~DecodeLimitLift();
    DecodeLimitLift(const DecodeLimitLift&) = delete;
    DecodeLimitLift& operator=(const DecodeLimitLift&) = delete;
};
