#include "orbel2/physics/OB_SinCos.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>

namespace orbel2 {

namespace {

// A value held as the unevaluated sum of two doubles, |Lo| <= half an ulp
// of Hi: about 106 bits. Every operation below is plain double arithmetic;
// the build forbids contracting it into fused multiply-adds.
struct TDoubleDouble {
    double Hi;
    double Lo;
};

TDoubleDouble QuickTwoSum(double A, double B)
{
    const double s = A + B;
    return {s, B - (s - A)};
}

TDoubleDouble TwoSum(double A, double B)
{
    const double s = A + B;
    const double bb = s - A;
    return {s, (A - (s - bb)) + (B - bb)};
}

// Dekker's split and product: exact without a fused multiply-add.
void Split(double A, double& High, double& Low)
{
    const double t = 134217729.0 * A;   // 2^27 + 1
    High = t - (t - A);
    Low = A - High;
}

TDoubleDouble TwoProduct(double A, double B)
{
    const double p = A * B;
    double ah = 0.0, al = 0.0, bh = 0.0, bl = 0.0;
    Split(A, ah, al);
    Split(B, bh, bl);
    return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
}

TDoubleDouble Add(TDoubleDouble A, TDoubleDouble B)
{
    TDoubleDouble s = TwoSum(A.Hi, B.Hi);
    const TDoubleDouble t = TwoSum(A.Lo, B.Lo);
    s.Lo += t.Hi;
    s = QuickTwoSum(s.Hi, s.Lo);
    s.Lo += t.Lo;
    return QuickTwoSum(s.Hi, s.Lo);
}

TDoubleDouble Multiply(TDoubleDouble A, TDoubleDouble B)
{
    TDoubleDouble p = TwoProduct(A.Hi, B.Hi);
    p.Lo += A.Hi * B.Lo + A.Lo * B.Hi;
    return QuickTwoSum(p.Hi, p.Lo);
}

TDoubleDouble Negated(TDoubleDouble A)
{
    return {-A.Hi, -A.Lo};
}

// 2/pi in binary, 32 bits a word: 2/pi = sum of Word[j] * 2^(-32 (j + 1)).
constexpr std::array<uint32_t, 14> TwoOverPi{0xA2F9836E, 0x4E441529, 0xFC2757D1, 0xF534DDC0, 0xDB629599,
                                             0x3C439041, 0xFE5163AB, 0xDEBBC561, 0xB7246E3A, 0x424DD2E0,
                                             0x06492EEA, 0x09D1921C, 0xFE1DEB1C, 0xB129A73E};
constexpr TDoubleDouble HalfPi{0x1.921fb54442d18p+0, 0x1.1a62633145c07p-54};

// 1/n! for n = 0..29 as double-doubles.
constexpr std::array<TDoubleDouble, 30> InverseFactorial{{
    {0x1.0000000000000p+0, 0.0},
    {0x1.0000000000000p+0, 0.0},
    {0x1.0000000000000p-1, 0.0},
    {0x1.5555555555555p-3, 0x1.5555555555555p-57},
    {0x1.5555555555555p-5, 0x1.5555555555555p-59},
    {0x1.1111111111111p-7, 0x1.1111111111111p-63},
    {0x1.6c16c16c16c17p-10, -0x1.f49f49f49f49fp-65},
    {0x1.a01a01a01a01ap-13, 0x1.a01a01a01a01ap-73},
    {0x1.a01a01a01a01ap-16, 0x1.a01a01a01a01ap-76},
    {0x1.71de3a556c734p-19, -0x1.c154f8ddc6c00p-73},
    {0x1.27e4fb7789f5cp-22, 0x1.cbbc05b4fa99ap-76},
    {0x1.ae64567f544e4p-26, -0x1.c062e06d1f209p-80},
    {0x1.1eed8eff8d898p-29, -0x1.2aec959e14c06p-83},
    {0x1.6124613a86d09p-33, 0x1.f28e0cc748ebep-87},
    {0x1.93974a8c07c9dp-37, 0x1.05d6f8a2efd1fp-92},
    {0x1.ae7f3e733b81fp-41, 0x1.1d8656b0ee8cbp-97},
    {0x1.ae7f3e733b81fp-45, 0x1.1d8656b0ee8cbp-101},
    {0x1.952c77030ad4ap-49, 0x1.ac981465ddc6cp-103},
    {0x1.6827863b97d97p-53, 0x1.eec01221a8b0bp-107},
    {0x1.2f49b46814157p-57, 0x1.2650f61dbdcb4p-112},
    {0x1.e542ba4020225p-62, 0x1.ea72b4afe3c2fp-120},
    {0x1.71b8ef6dcf572p-66, -0x1.d043ae40c4647p-120},
    {0x1.0ce396db7f853p-70, -0x1.aebcdbd20331cp-124},
    {0x1.761b41316381ap-75, -0x1.3423c7d91404fp-130},
    {0x1.f2cf01972f578p-80, -0x1.9ada5fcc1ab14p-135},
    {0x1.3f3ccdd165fa9p-84, -0x1.58ddadf344487p-139},
    {0x1.88e85fc6a4e5ap-89, -0x1.71c37ebd16540p-143},
    {0x1.d1ab1c2dccea3p-94, 0x1.054d0c78aea14p-149},
    {0x1.0a18a2635085dp-98, 0x1.b9e2e28e1aa54p-153},
    {0x1.259f98b4358adp-103, 0x1.eaf8c39dd9bc5p-157},
}};

// A 256-bit unsigned number, most significant word first.
using TWide = std::array<uint64_t, 4>;

void ShiftLeft(TWide& W, int Bits)   // 0 < Bits < 64
{
    for (size_t i = 0; i + 1 < W.size(); ++i)
        W[i] = (W[i] << Bits) | (W[i + 1] >> (64 - Bits));
    W.back() <<= Bits;
}

int LeadingZeros(const TWide& W)
{
    int zeros = 0;
    for (const uint64_t word : W) {
        for (uint64_t bit = uint64_t(1) << 63; bit != 0; bit >>= 1, ++zeros) {
            if ((word & bit) != 0)
                return zeros;
        }
    }
    return zeros;
}

// A non-negative fraction Bits / 2^Scale as a double-double (exact to
// about 117 bits); Bits must not be 0.
TDoubleDouble FractionValue(TWide Bits, int Scale)
{
    int zeros = LeadingZeros(Bits);
    for (; zeros >= 64; zeros -= 64, Scale += 64)
        Bits = TWide{Bits[1], Bits[2], Bits[3], 0};
    if (zeros > 0) {
        ShiftLeft(Bits, zeros);
        Scale += zeros;
    }
    // Bits' leading 53 bits, then the next 64 (rounded by the conversion).
    const uint64_t high = Bits[0] >> 11;
    const uint64_t low = ((Bits[0] & 0x7FF) << 53) | (Bits[1] >> 11);
    return QuickTwoSum(std::ldexp(static_cast<double>(high), 203 - Scale),
                       std::ldexp(static_cast<double>(low), 139 - Scale));
}

struct TReducedAngle {
    int Quadrant;   // the angle's nearest multiple of a quarter turn, mod 4
    TDoubleDouble Rest;   // the angle less that multiple, in [-pi/4, pi/4]
};

// Angle = Quadrant * pi/2 + Rest for a finite Angle with |Angle| >= 1/2.
// Angle * 2/pi is formed exactly from the float's 24-bit mantissa and the
// 224 bits of 2/pi that can reach the last two bits of its integer part.
TReducedAngle Reduce(float Angle)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &Angle, sizeof bits);
    const uint64_t mantissa = (bits & 0x7FFFFF) | 0x800000;
    const int exponent = static_cast<int>((bits >> 23) & 0xFF) - 150;   // |Angle| = mantissa * 2^exponent
    // Words before `first` only add multiples of 4 to Angle * 2/pi.
    const int first = exponent >= 34 ? (exponent - 34) / 32 + 1 : 0;
    std::array<uint32_t, 8> product{};   // mantissa * 7 words, most significant first
    uint64_t carry = 0;
    for (int k = 6; k >= 0; --k) {
        const uint64_t part = mantissa * TwoOverPi[static_cast<size_t>(first + k)] + carry;
        product[static_cast<size_t>(k) + 1] = static_cast<uint32_t>(part);
        carry = part >> 32;
    }
    product[0] = static_cast<uint32_t>(carry);
    TWide wide{};
    for (size_t i = 0; i < wide.size(); ++i)
        wide[i] = (uint64_t(product[2 * i]) << 32) | product[2 * i + 1];
    // |Angle| * 2/pi = wide * 2^(unit - 192) with unit in [-56, 1]; move the
    // two lowest integer bits to the top.
    const int unit = exponent - 32 * first - 32;
    const int fractionBits = 192 - unit;
    ShiftLeft(wide, 254 - fractionBits);

    TReducedAngle reduced{static_cast<int>(wide[0] >> 62), {0.0, 0.0}};
    wide[0] &= (uint64_t(1) << 62) - 1;
    bool negative = false;
    if ((wide[0] >> 61) != 0) {   // past half a quarter: count from the next one
        reduced.Quadrant = (reduced.Quadrant + 1) & 3;
        negative = true;
        // 2^254 - wide, the distance to it
        uint64_t borrow = 0;
        for (size_t i = wide.size(); i-- > 0;) {
            const uint64_t before = wide[i];
            wide[i] = 0 - before - borrow;
            borrow = (before != 0 || borrow != 0) ? 1 : 0;
        }
        wide[0] &= (uint64_t(1) << 62) - 1;
    }
    if (wide == TWide{})
        return reduced;
    const TDoubleDouble rest = Multiply(FractionValue(wide, 254), HalfPi);
    reduced.Rest = negative ? Negated(rest) : rest;
    return reduced;
}

// The term of power N of the series, with its sign: (-1)^(N/2) / N!.
TDoubleDouble Coefficient(int N)
{
    const TDoubleDouble c = InverseFactorial[static_cast<size_t>(N)];
    return (N / 2) % 2 == 0 ? c : Negated(c);
}

// Sums the series of coefficients of the powers Last, Last - 2, ... First
// on Square in Horner's form. Terms below the power Split are at most 2^-20
// of the result for |X| <= pi/4, so they are summed in double; the rest in
// double-double. The whole is good to about 2^-72.
TDoubleDouble Series(TDoubleDouble Square, int Last, int Split, int First)
{
    double tail = Coefficient(Last).Hi;
    int n = Last - 2;
    for (; n > Split; n -= 2)
        tail = tail * Square.Hi + Coefficient(n).Hi;
    TDoubleDouble sum{tail, 0.0};
    for (; n >= First; n -= 2)
        sum = Add(Multiply(sum, Square), Coefficient(n));
    return sum;
}

// sin(X) and cos(X) for |X| <= pi/4 by their series to the 23rd and 24th
// power.
TDoubleDouble SeriesSine(TDoubleDouble X, TDoubleDouble Square)
{
    return Multiply(Series(Square, 23, 7, 1), X);
}

TDoubleDouble SeriesCosine(TDoubleDouble Square)
{
    return Series(Square, 24, 8, 0);
}

// Double-double to float through the nearest double, as a double result of
// the C library is rounded.
float RoundedToFloat(TDoubleDouble X)
{
    return static_cast<float>(X.Hi + X.Lo);
}

// The exact way, for every finite angle: the reduction to 448 bits of 2/pi
// and the series in double-double.
OB_TSinCosResult ExactSinCos(float Angle)
{
    const float magnitude = std::fabs(Angle);
    TReducedAngle reduced{0, {static_cast<double>(magnitude), 0.0}};
    if (magnitude >= 0.5f)
        reduced = Reduce(magnitude);
    const TDoubleDouble square = Multiply(reduced.Rest, reduced.Rest);
    const TDoubleDouble sine = SeriesSine(reduced.Rest, square);
    const TDoubleDouble cosine = SeriesCosine(square);
    TDoubleDouble s = sine;
    TDoubleDouble c = cosine;
    switch (reduced.Quadrant) {
    case 1: s = cosine; c = Negated(sine); break;
    case 2: s = Negated(sine); c = Negated(cosine); break;
    case 3: s = Negated(cosine); c = sine; break;
    default: break;
    }
    if (std::signbit(Angle))
        s = Negated(s);
    return {RoundedToFloat(s), RoundedToFloat(c)};
}

// The quick way, for |Angle| < 2^18 away from multiples of a quarter turn:
// the reduction by pi/2 in three parts (the first two exact in products
// with the quarter count), and the series to the 17th and 18th power in
// double, good to about 2 ulps of the double result. Its float rounding is
// taken only when it is certain: when the double result, moved by 8 to 16
// of its ulps either way, rounds to the same float, the exact result and
// glibc's (within an ulp of it) round there too. Otherwise, in about one
// angle in 10^7, the exact way decides.
constexpr double QuarterTurnsPerRadian = 0x1.45f306dc9c883p-1;   // 2/pi
constexpr double HalfPi1 = 0x1.921fb54400000p+0;   // pi/2 in parts of 33, 33 and 53 bits
constexpr double HalfPi2 = 0x1.0b4611a600000p-34;
constexpr double HalfPi3 = 0x1.3198a2e037073p-69;

double QuickSine(TDoubleDouble X, double Square)
{
    double poly = InverseFactorial[17].Hi;
    for (int n = 15; n >= 3; n -= 2)
        poly = poly * Square + Coefficient(n).Hi;
    // sin(hi + lo) = sin(hi) + lo cos(hi), to this precision
    return X.Hi + (X.Hi * Square * poly + X.Lo * (1.0 - 0.5 * Square));
}

double QuickCosine(TDoubleDouble X, double Square)
{
    double poly = InverseFactorial[18].Hi;
    for (int n = 16; n >= 4; n -= 2)
        poly = poly * Square + Coefficient(n).Hi;
    const double half = 0.5 * Square;
    const double rest = 1.0 - half;
    return rest + (((1.0 - rest) - half) + (Square * Square * poly - X.Hi * X.Lo));
}

// The float that Value rounds to, when every value within 8 of its ulps
// rounds there too.
std::optional<float> CertainFloat(double Value)
{
    const double margin = std::fabs(Value) * 0x1p-48;
    const float low = static_cast<float>(Value - margin);
    const float high = static_cast<float>(Value + margin);
    if (low != high)
        return std::nullopt;
    return static_cast<float>(Value);
}

std::optional<OB_TSinCosResult> QuickSinCos(float Angle)
{
    const double x = std::fabs(static_cast<double>(Angle));
    if (x >= 0x1p18)
        return std::nullopt;
    TReducedAngle reduced{0, {x, 0.0}};
    if (x >= 0.5) {
        const double quarters = std::nearbyint(x * QuarterTurnsPerRadian);
        const double rest = x - quarters * HalfPi1;   // exact
        reduced.Rest = Add(TwoSum(rest, -(quarters * HalfPi2)), {-(quarters * HalfPi3), 0.0});
        reduced.Quadrant = static_cast<int>(static_cast<int64_t>(quarters) & 3);
        if (std::fabs(reduced.Rest.Hi) < 0x1p-20)
            return std::nullopt;
    }
    const double square = reduced.Rest.Hi * reduced.Rest.Hi;
    const double sine = QuickSine(reduced.Rest, square);
    const double cosine = QuickCosine(reduced.Rest, square);
    double s = sine;
    double c = cosine;
    switch (reduced.Quadrant) {
    case 1: s = cosine; c = -sine; break;
    case 2: s = -sine; c = -cosine; break;
    case 3: s = -cosine; c = sine; break;
    default: break;
    }
    if (std::signbit(Angle))
        s = -s;
    const std::optional<float> roundedSine = CertainFloat(s);
    const std::optional<float> roundedCosine = CertainFloat(c);
    if (!roundedSine || !roundedCosine)
        return std::nullopt;
    return OB_TSinCosResult{*roundedSine, *roundedCosine};
}

}   // namespace

OB_TSinCosResult OB_SinCos(float Angle)
{
    if (!std::isfinite(Angle)) {
        const float notANumber = Angle - Angle;
        return {notANumber, notANumber};
    }
    if (const std::optional<OB_TSinCosResult> quick = QuickSinCos(Angle))
        return *quick;
    return ExactSinCos(Angle);
}

}   // namespace orbel2
