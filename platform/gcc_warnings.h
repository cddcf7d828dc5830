#pragma once

// Silences one GCC warning between QR_GCC_IGNORE_BEGIN and QR_GCC_IGNORE_END:
// only for GCC 12's false positives in the standard library's inlined code,
// each with its reason beside it. Other compilers see nothing.
#if defined(__GNUC__) && !defined(__clang__)
#define QR_GCC_PRAGMA(x) _Pragma(#x)
#define QR_GCC_IGNORE_BEGIN(warning) _Pragma("GCC diagnostic push") QR_GCC_PRAGMA(GCC diagnostic ignored warning)
#define QR_GCC_IGNORE_END _Pragma("GCC diagnostic pop")
// A vector grown by insert, inlined: GCC 12 sees its old elements moved past
// their storage and says so three ways. Ended by QR_GCC_IGNORE_END.
#define QR_GCC_IGNORE_VECTOR_GROWTH_BEGIN                                                                              \
    QR_GCC_IGNORE_BEGIN("-Warray-bounds")                                                                              \
    QR_GCC_PRAGMA(GCC diagnostic ignored "-Wstringop-overflow")                                                        \
    QR_GCC_PRAGMA(GCC diagnostic ignored "-Wstringop-overread")
#else
#define QR_GCC_IGNORE_BEGIN(warning)
#define QR_GCC_IGNORE_END
#define QR_GCC_IGNORE_VECTOR_GROWTH_BEGIN
#endif
