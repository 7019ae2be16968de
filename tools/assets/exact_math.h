// Sine and exponential from additions, multiplications and divisions only. The C
// library's sin and exp may differ in the last bit between versions; these give the
// same doubles everywhere IEEE arithmetic is used, so the generated files reproduce.
#pragma once

#include <cmath>

namespace NAssets {

inline constexpr double kPi = 3.14159265358979323846;

inline double Sine(double x) {
    x -= 2 * kPi * std::floor(x / (2 * kPi) + 0.5);  // [-pi, pi]
    if (x > kPi / 2) {
        x = kPi - x;
    } else if (x < -kPi / 2) {
        x = -kPi - x;
    }
    // Taylor series to x^17: below 1e-13 off on [-pi/2, pi/2].
    const double x2 = x * x;
    double term = x, sum = x;
    for (int n = 1; n <= 8; ++n) {
        term *= -x2 / ((2.0 * n) * (2.0 * n + 1));
        sum += term;
    }
    return sum;
}

inline double Cosine(double x) { return Sine(x + kPi / 2); }

inline double Exp(double x) {
    if (x < -700) return 0;
    constexpr double kLn2 = 0.69314718055994530942;
    const double n = std::floor(x / kLn2 + 0.5);
    const double r = x - n * kLn2;  // |r| <= ln 2 / 2
    double term = 1, sum = 1;
    for (int k = 1; k <= 16; ++k) {
        term *= r / k;
        sum += term;
    }
    return std::ldexp(sum, static_cast<int>(n));
}

}  // namespace NAssets
