#include "decoding/fields.h"

namespace {

constexpr int MinutePos = 1;
constexpr int HourPos = 2;
constexpr int DayPos = 3;
constexpr int MonthPos = 4;
constexpr int YearPos = 5;
constexpr int MomentWeightPos = 15;
constexpr int MomentReachPos = 16;

// At least two digits, more when the value needs them ("%2.2d").
QString TwoDigits(unsigned v) {
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}

QString ZeroPadded(unsigned v, int width) {
    return QStringLiteral("%1").arg(v, width, 10, QLatin1Char('0'));
}

std::uint32_t Counter24(ReplyView reply, int p) {
    return (std::uint32_t{ReplyByte(reply, p)} << 16) |
           (std::uint32_t{ReplyByte(reply, p + 1)} << 8) | ReplyByte(reply, p + 2);
}

bool MeasureShown(ReplyView reply, int p) {
    return ReplyByte(reply, p) != NoValue &&
           (ReplyByte(reply, PresenceFlagsPos) & MeasurePresent) != 0;
}

// Only two erased factors hide the moment; one 0xFF still takes part as 255.
bool MomentShown(ReplyView reply) {
    const bool bothErased =
        ReplyByte(reply, MomentWeightPos) == NoValue && ReplyByte(reply, MomentReachPos) == NoValue;
    return !bothErased && (ReplyByte(reply, PresenceFlagsPos) & MomentPresent) != 0;
}

unsigned Moment(ReplyView reply) {
    return unsigned{ReplyByte(reply, MomentWeightPos)} * ReplyByte(reply, MomentReachPos);
}

} // namespace

std::uint8_t ReplyByte(ReplyView reply, int k) {
    if (k < 0 || static_cast<std::size_t>(k) >= reply.size()) {
        return NoValue;
    }
    return reply[static_cast<std::size_t>(k)];
}

std::uint8_t hex2dec(std::uint8_t b) {
    return static_cast<std::uint8_t>((b >> 4) * 10 + (b & 0x0F));
}

std::uint8_t dec2hex(unsigned v) {
    return static_cast<std::uint8_t>((v / 10) * 16 + v % 10);
}

QString RTime(ReplyView reply) {
    return TwoDigits(hex2dec(ReplyByte(reply, HourPos))) + QLatin1Char(':') +
           TwoDigits(hex2dec(ReplyByte(reply, MinutePos)));
}

QString RDate(ReplyView reply) {
    // The recorder keeps only the year within the century.
    return TwoDigits(hex2dec(ReplyByte(reply, DayPos))) + QLatin1Char('.') +
           TwoDigits(hex2dec(ReplyByte(reply, MonthPos))) + QStringLiteral(".20") +
           TwoDigits(hex2dec(ReplyByte(reply, YearPos)));
}

QString BigNum(ReplyView reply, int p) {
    return QString::number(Counter24(reply, p));
}

QString FBigNum(ReplyView reply, int p) {
    return ZeroPadded(Counter24(reply, p), 8);
}

QString SmallNum(ReplyView reply, int p) {
    return MeasureShown(reply, p) ? QString::number(ReplyByte(reply, p)) : QString();
}

QString FSmallNum(ReplyView reply, int p) {
    return MeasureShown(reply, p) ? ZeroPadded(ReplyByte(reply, p), 3)
                                  : QString(3, QLatin1Char(' '));
}

QString RMoment(ReplyView reply) {
    return MomentShown(reply) ? QString::number(Moment(reply)) : QString();
}

QString FRMoment(ReplyView reply) {
    return MomentShown(reply) ? ZeroPadded(Moment(reply), 5) : QString(5, QLatin1Char(' '));
}

QString Dec2Bin(std::uint8_t b) {
    QString s;
    s.reserve(9);
    for (int bit = 7; bit >= 0; --bit) {
        s += (b & (1u << bit)) ? QLatin1Char('1') : QLatin1Char('0');
    }
    s += QLatin1Char('b');
    return s;
}
