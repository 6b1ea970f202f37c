#include "Transform.h"

#include <cmath>
#include <numbers>

namespace quenlar::cook {

namespace {

// The decoder's inverse transform scales by 1/32768 and its window by sqrt(2/N); these undo it.
constexpr double kDecoderScale = 32768.0;

// The plain product: std::complex's operator* also handles infinities through a library call
// on every product whose result is NaN, which costs more than the transform itself.
inline std::complex<float> Multiply(std::complex<float> a, std::complex<float> b)
{
    return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

}  // namespace

Transform::Transform(int size)
    : size_(size), window_(2 * size), preTwiddle_(size / 2), postTwiddle_(size / 2), fftTwiddle_(size / 4),
      bitReverse_(size / 2), work_(size / 2), folded_(size), spectrum_(size)
{
    const double pi = std::numbers::pi;
    const int n = size;
    for (int i = 0; i < 2 * n; ++i)
        window_[i] = static_cast<float>(std::sin((i + 0.5) * pi / (2 * n)));
    for (int m = 0; m < n / 2; ++m) {
        preTwiddle_[m] = std::polar(1.0f, static_cast<float>(-pi * (4 * m + 1) / (4.0 * n)));
        postTwiddle_[m] = std::polar(1.0f, static_cast<float>(-pi * m / n));
    }
    const int points = n / 2;
    for (int k = 0; k < points / 2; ++k)
        fftTwiddle_[k] = std::polar(1.0f, static_cast<float>(-2 * pi * k / points));
    int bits = 0;
    while ((1 << bits) < points)
        ++bits;
    for (int i = 0; i < points; ++i) {
        int reversed = 0;
        for (int b = 0; b < bits; ++b)
            reversed |= ((i >> b) & 1) << (bits - 1 - b);
        bitReverse_[i] = reversed;
    }
}

void Transform::Fft(std::complex<float>* data) const
{
    const int points = size_ / 2;
    for (int i = 0; i < points; ++i) {
        if (i < bitReverse_[i])
            std::swap(data[i], data[bitReverse_[i]]);
    }
    for (int half = 1, stride = points / 2; half < points; half *= 2, stride /= 2) {
        for (int start = 0; start < points; start += 2 * half) {
            for (int j = 0; j < half; ++j) {
                const std::complex<float> t = Multiply(data[start + j + half], fftTwiddle_[j * stride]);
                data[start + j + half] = data[start + j] - t;
                data[start + j] += t;
            }
        }
    }
}

// Through a complex FFT of N/2 points on the even and reversed odd samples.
void Transform::DctIv(const float* in, float* out)
{
    const int n = size_;
    for (int m = 0; m < n / 2; ++m)
        work_[m] = Multiply(std::complex<float>(in[2 * m], in[n - 1 - 2 * m]), preTwiddle_[m]);
    Fft(work_.data());
    for (int m = 0; m < n / 2; ++m) {
        const std::complex<float> y = Multiply(work_[m], postTwiddle_[m]);
        out[2 * m] = y.real();
        out[n - 1 - 2 * m] = -y.imag();
    }
}

// The decoder's frame is its inverse MDCT with the halves swapped and the newer one negated, so
// the samples are rotated to meet a plain MDCT, which is then folded onto a DCT-IV.
void Transform::Forward(const float* samples, float* coefficients)
{
    const int n = size_;
    const int h = n / 2;
    // v = samples * window; u[i] = -v[i + N] (i < N), v[i - N] (i >= N); the MDCT of u at phase
    // n + 1/2 + N/2 is a DCT-IV of t[i] - t[2N - 1 - i], t being u shifted by N/2 with a sign
    // on the wrap.
    auto u = [&](int i) { return i < n ? -samples[i + n] * window_[i + n] : samples[i - n] * window_[i - n]; };
    auto t = [&](int i) { return i < h ? -u(i + 3 * h) : u(i - h); };
    for (int i = 0; i < n; ++i)
        folded_[i] = t(i) - t(2 * n - 1 - i);
    DctIv(folded_.data(), coefficients);
    const auto scale = static_cast<float>(-kDecoderScale * std::sqrt(2.0 / n));
    for (int k = 0; k < n; ++k)
        coefficients[k] *= scale;
}

void Transform::Inverse(const float* coefficients, float* samples)
{
    const int n = size_;
    const int h = n / 2;
    DctIv(coefficients, spectrum_.data());
    // The plain inverse MDCT y[i] at t-index i + N/2, then the decoder's swap of halves.
    auto tValue = [&](int i) { return i < n ? spectrum_[i] : -spectrum_[2 * n - 1 - i]; };
    auto y = [&](int i) { return i < 3 * h ? tValue(i + h) : -tValue(i - 3 * h); };
    const auto scale = static_cast<float>(-std::sqrt(2.0 / n) / kDecoderScale);
    for (int m = 0; m < 2 * n; ++m) {
        const float z = m < n ? y(m + n) : -y(m - n);
        samples[m] = z * window_[m] * scale;
    }
}

}  // namespace quenlar::cook
