// What the processor offers for the accelerated cipher paths, and whether the
// operating system saves the wider registers that some of them use.
#pragma once

// The accelerated implementations and their detection exist only on x86;
// elsewhere their files compile to nothing and the table offers none of them.
#if defined(__i386__) || defined(__x86_64__)
#define ZARNOCRYPT_X86 1
#else
#define ZARNOCRYPT_X86 0
#endif

namespace zarnocrypt {

struct CpuFeatures {
    bool ssse3 = false;
    bool aesni = false;
    bool avx2 = false;        // with the OS saving YMM state
    bool vaes = false;
    bool avx512bw = false;    // AVX-512 F and BW, with the OS saving ZMM and mask state
    bool avx512vbmi = false;
};

// Asked of CPUID and XGETBV on every call; callers cache the answer.
CpuFeatures DetectCpuFeatures() noexcept;

}  // namespace zarnocrypt
