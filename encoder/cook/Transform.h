// The format's lapped transform: a frame of 2N samples (the last N of the previous frame and N
// new ones) to N coefficients, and back as the decoder does it, on one thread.
#pragma once

#include <complex>
#include <vector>

namespace quenlar::cook {

class Transform {
public:
    // `size`: N, the samples a frame adds (256, 512 or 1024).
    explicit Transform(int size);

    int Size() const { return size_; }

    // 2N samples (full scale 1.0) to N coefficients in the decoder's units, windowed.
    void Forward(const float* samples, float* coefficients);
    // N coefficients to the 2N windowed samples the decoder overlaps: its first half adds to the
    // previous frame's second half.
    void Inverse(const float* coefficients, float* samples);

private:
    // out[k] = sum over n of in[n] cos(pi / N (n + 1/2) (k + 1/2)); in and out may not overlap.
    void DctIv(const float* in, float* out);
    void Fft(std::complex<float>* data) const;

    int size_;
    std::vector<float> window_;                      // 2N, a sine
    std::vector<std::complex<float>> preTwiddle_;    // N/2
    std::vector<std::complex<float>> postTwiddle_;   // N/2
    std::vector<std::complex<float>> fftTwiddle_;    // N/4
    std::vector<int> bitReverse_;                    // N/2
    std::vector<std::complex<float>> work_;
    std::vector<float> folded_;
    std::vector<float> spectrum_;
};

}  // namespace quenlar::cook
