/// Basic scalar and geometry types of the host's effect interface.
///
/// The host interface is plain C: these headers are shared by the module and
/// by anything that plays the host, and contain no C++. Every record here is
/// laid out as the hosts lay out their own (Windows x64 and LP64 Unix); the
/// build checks each size, alignment and offset against measured facts.
#ifndef QUORVEL_HOST_PF_TYPES_H
#define QUORVEL_HOST_PF_TYPES_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t A_long;
typedef uint32_t A_u_long;
typedef int16_t A_short;
typedef uint16_t A_u_short;
typedef uint8_t A_u_char;
typedef char A_char;
typedef intptr_t A_intptr_t;
typedef uint64_t A_u_longlong;
typedef double A_FpLong;

/// One-byte boolean, as the host lays out its records.
typedef A_u_char PF_Boolean;

/// Host error code: 0 is success.
typedef A_long PF_Err;
/// Command selector passed to the entry point.
typedef A_long PF_Cmd;

/// Signed 16.16 fixed point: 1.0 is 65536.
typedef A_long PF_Fixed;
typedef A_u_long PF_UFixed;
typedef double PF_FpLong;
typedef float PF_FpShort;

/// Flag words and small enumerations, all 32 bits wide in the host's records.
typedef A_long PF_Quality;
typedef A_long PF_Field;
typedef A_long PF_InFlags;
typedef A_long PF_OutFlags;
typedef A_long PF_OutFlags2;
typedef A_long PF_WorldFlags;
typedef A_long PF_NewWorldFlags;
typedef A_long PF_ModeFlags;
typedef A_long PF_XferMode;
typedef A_u_long PF_KernelFlags;
typedef A_long PF_CallbackID;
typedef A_long PF_PlatDataID;
typedef A_long PF_ParamIndex;
typedef A_long PF_ParamValue;

/// A block of host memory the module may keep (global, sequence, frame data).
typedef void** PF_Handle;

typedef struct PF_RationalScale {
    A_long num;
    A_u_long den;
} PF_RationalScale;

/// A point in whole pixels (mouse positions).
typedef struct PF_Point {
    A_long h;
    A_long v;
} PF_Point;

typedef struct PF_FixedPoint {
    PF_Fixed x;
    PF_Fixed y;
} PF_FixedPoint;

typedef struct PF_FixedRect {
    PF_Fixed left;
    PF_Fixed top;
    PF_Fixed right;
    PF_Fixed bottom;
} PF_FixedRect;

typedef struct PF_LRect {
    A_long left;
    A_long top;
    A_long right;
    A_long bottom;
} PF_LRect;

/// The rectangle the host's services take: the 32-bit one.
typedef PF_LRect PF_Rect;

typedef struct A_FloatPoint {
    A_FpLong x;
    A_FpLong y;
} A_FloatPoint;

/// The host's version of the interface it speaks.
typedef struct PF_SpecVersion {
    A_short major;
    A_short minor;
} PF_SpecVersion;

/// Suite names are compile-time constants in C++ (so the build can check
/// them) and plain static arrays in C.
#ifdef __cplusplus
#define QUORVEL_HOST_STRING constexpr
#else
#define QUORVEL_HOST_STRING static const
#endif

/// Opaque reference to the effect instance, handed back to the host's callbacks.
typedef void* PF_ProgPtr;

#ifdef __cplusplus
}
#endif

#endif
