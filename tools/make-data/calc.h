// Deterministic maths for make-data. Everything here uses only +, -, *, /, sqrt and
// floor, which IEEE double gives exactly the same at every optimisation level, so the
// generated files do not depend on the C library's sin/exp/atan or on the build type.
#pragma once

#include <cmath>
#include <cstdint>

namespace md {

constexpr double pi = 3.14159265358979323846;
constexpr double two_pi = 2.0 * pi;

inline double clamp01(double x) {
    return x < 0.0 ? 0.0 : (x > 1.0 ? 1.0 : x);
}
inline double clampd(double x, double lo, double hi) {
    return x < lo ? lo : (x > hi ? hi : x);
}
inline double fract(double x) {
    return x - std::floor(x);
}
inline double mixd(double a, double b, double t) {
    return a + (b - a) * t;
}
inline double smooth(double e0, double e1, double x) {
    double t = clamp01((x - e0) / (e1 - e0));
    return t * t * (3.0 - 2.0 * t);
}

// sin by reduction to [-pi/2, pi/2] and its Taylor series to x^17 (error below 1e-15).
inline double sine(double x) {
    x -= two_pi * std::floor(x / two_pi + 0.5); // now in [-pi, pi]
    if (x > pi / 2)
        x = pi - x;
    else if (x < -pi / 2)
        x = -pi - x;
    double x2 = x * x;
    double term = x;
    double sum = x;
    for (int n = 1; n <= 8; ++n) {
        term *= -x2 / (double)((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sum;
}
inline double cosine(double x) {
    return sine(x + pi / 2);
}

// e^x as 2^k * e^r with |r| <= ln2/2 and a Taylor series for e^r.
inline double expo(double x) {
    constexpr double ln2 = 0.69314718055994530942;
    if (x < -700.0)
        return 0.0;
    double k = std::floor(x / ln2 + 0.5);
    double r = x - k * ln2;
    double term = 1.0;
    double sum = 1.0;
    for (int n = 1; n <= 16; ++n) {
        term *= r / n;
        sum += term;
    }
    return std::ldexp(sum, (int)k);
}
inline double exp2d(double x) {
    return expo(x * 0.69314718055994530942);
}

// atan by two argument halvings and a short series; atan2 on top.
inline double arctan(double x) {
    bool neg = x < 0.0;
    if (neg)
        x = -x;
    bool inv = x > 1.0;
    if (inv)
        x = 1.0 / x;
    x = x / (1.0 + std::sqrt(1.0 + x * x));
    x = x / (1.0 + std::sqrt(1.0 + x * x)); // |x| <= tan(pi/16)
    double x2 = x * x;
    double term = x;
    double sum = x;
    for (int n = 1; n <= 12; ++n) {
        term *= -x2;
        sum += term / (2 * n + 1);
    }
    sum *= 4.0;
    if (inv)
        sum = pi / 2 - sum;
    return neg ? -sum : sum;
}
inline double arctan2(double y, double x) {
    if (x == 0.0)
        return y > 0.0 ? pi / 2 : (y < 0.0 ? -pi / 2 : 0.0);
    double a = arctan(y / x);
    if (x < 0.0)
        a += y >= 0.0 ? pi : -pi;
    return a;
}

// Integer hash for stars, speckles and noise sources.
inline std::uint32_t hash32(std::uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}
inline double hash01(std::uint32_t x) {
    return (hash32(x) >> 8) * (1.0 / 16777216.0);
}

} // namespace md
