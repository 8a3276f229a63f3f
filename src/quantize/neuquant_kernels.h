#pragma once
// The quantiser's inner loops, each with a plain version and, on x86, vector versions that give
// the same numbers. Internal to the quantiser.

#include <cstdint>

namespace lumavex::quant {

// The constants of the published algorithm.
constexpr int kCycles = 100;
constexpr int kNetBiasShift = 4;               // channels x 16
constexpr int kIntBias = 1 << 16;              // frequencies and biases in 1/65536
constexpr int kBetaShift = 10;                 // beta = 1/1024
constexpr int kBeta = kIntBias >> kBetaShift;  // 64
constexpr int kBetaGamma = kIntBias;           // beta x gamma (1024) in 1/65536
constexpr int kBiasToDistanceShift = 16 - kNetBiasShift;
constexpr int kRadiusBiasShift = 6;
constexpr int kRadiusDecrease = 30;
constexpr int kInitAlpha = 1 << 10;
constexpr int kRadBias = 1 << 8;
constexpr int kAlphaRadBiasShift = 10 + 8;

// The keys of the nearest-colour table's distance transform.
constexpr int32_t kFar = 0x7F000000;   // no neuron yet: beyond every key
constexpr int32_t kOneStep = 1 << 17;  // one unit of distance in a key

// The published code keeps biases in 32-bit integers; in pictures of tens of megapixels a
// rarely winning neuron's bias can run past their range, and then it wraps as it did there.
inline int32_t wrapAdd(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

/// Whether the processor (within the kernel limit) has the AVX2 and the AVX-512 kernels.
bool haveVectors();
bool haveWideVectors();

/// Pulls the neurons at blue[0..count) and so on toward the sample (b, g, r) by their
/// neighbour weights w: v -= (w * (v - target)) / 2^18 on each channel.
using PullKernel = void (*)(int32_t* blue, int32_t* green, int32_t* red, const int32_t* w,
                            int count, int b, int g, int r);
PullKernel pullKernel(bool vector);

/// The contest's search: the neuron nearest the sample and the one of least biased distance,
/// lowest index first on ties. With Decay, bias holds the biases, and every neuron's frequency
/// decays by 1/1024 into its bias as it is read, as the published loop does; without, bias
/// holds each bias >> 12 and nothing is written.
template <bool Decay>
using ContestKernel = void (*)(const int32_t* blue, const int32_t* green, const int32_t* red,
                               int32_t* bias, int32_t* freq, int n, int b, int g, int r,
                               int& bestPos, int& bestBiasPos);
/// The widest search there is, up to AVX2 unless wide.
template <bool Decay>
ContestKernel<Decay> contestKernel(bool wide);

/// One pass of the L1 distance transform down the 256 rows of a 256 x 256 plane of keys, then
/// one back up: each key becomes the least of itself and its row neighbours' plus one step.
using SweepKernel = void (*)(int32_t* plane);
SweepKernel sweepKernel(bool vector);

/// The 256 x 256 plane transposed.
using TransposeKernel = void (*)(const int32_t* from, int32_t* to);
TransposeKernel transposeKernel(bool vector);

/// Looks the first pixels of a row of count B,G,R triples up in the table of 2^24 colours (at
/// green << 16 | blue << 8 | red), as many as the vector kernel takes, and returns how many:
/// 0 without one. Reads 4 bytes past the last pixel it takes and 3 past the table's end.
int lookupRowStart(bool vector, const uint8_t* bgr, int count, const uint8_t* table, uint8_t* out);

}  // namespace lumavex::quant
