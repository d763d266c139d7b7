#include "cpu_features.h"

#if ZARNOCRYPT_X86
#include <cpuid.h>
#endif

namespace zarnocrypt {

#if ZARNOCRYPT_X86

namespace {

constexpr unsigned LEAF1_ECX_SSSE3 = 1u << 9;
constexpr unsigned LEAF1_ECX_AESNI = 1u << 25;
constexpr unsigned LEAF1_ECX_OSXSAVE = 1u << 27;
constexpr unsigned LEAF1_ECX_AVX = 1u << 28;
constexpr unsigned LEAF7_EBX_AVX2 = 1u << 5;
constexpr unsigned LEAF7_EBX_AVX512F = 1u << 16;
constexpr unsigned LEAF7_EBX_AVX512BW = 1u << 30;
constexpr unsigned LEAF7_ECX_AVX512VBMI = 1u << 1;
constexpr unsigned LEAF7_ECX_VAES = 1u << 9;

// XCR0: SSE and AVX state for YMM; opmask, upper ZMM halves and ZMM16-31 for AVX-512.
constexpr unsigned long long XCR0_YMM = 0x6;
constexpr unsigned long long XCR0_ZMM = 0xE0;

unsigned long long ReadXcr0() noexcept
{
    unsigned low = 0;
    unsigned high = 0;
    __asm__ __volatile__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (static_cast<unsigned long long>(high) << 32) | low;
}

bool Has(unsigned reg, unsigned bit) noexcept
{
    return (reg & bit) == bit;
}

}  // namespace

CpuFeatures DetectCpuFeatures() noexcept
{
    CpuFeatures features;
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx))
        return features;
    features.ssse3 = Has(ecx, LEAF1_ECX_SSSE3);
    features.aesni = Has(ecx, LEAF1_ECX_AESNI);

    const bool osYmm = Has(ecx, LEAF1_ECX_OSXSAVE) && Has(ecx, LEAF1_ECX_AVX) &&
                       (ReadXcr0() & XCR0_YMM) == XCR0_YMM;
    if (!osYmm || __get_cpuid_max(0, nullptr) < 7)
        return features;
    const bool osZmm = (ReadXcr0() & (XCR0_YMM | XCR0_ZMM)) == (XCR0_YMM | XCR0_ZMM);

    __cpuid_count(7, 0, eax, ebx, ecx, edx);
    features.avx2 = Has(ebx, LEAF7_EBX_AVX2);
    features.vaes = Has(ecx, LEAF7_ECX_VAES);
    features.avx512bw = osZmm && Has(ebx, LEAF7_EBX_AVX512F) && Has(ebx, LEAF7_EBX_AVX512BW);
    features.avx512vbmi = features.avx512bw && Has(ecx, LEAF7_ECX_AVX512VBMI);
    return features;
}

#else

CpuFeatures DetectCpuFeatures() noexcept
{
    return {};
}

#endif

}  // namespace zarnocrypt
