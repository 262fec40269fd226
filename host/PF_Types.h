/// Basic scalar and geometry types of the host's effect interface.
///
/// The host interface is plain C: these headers are shared by the module and
/// by anything that plays the host, and contain no C++.
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

/// One-byte boolean, as the host lays out its records.
typedef A_u_char PF_Boolean;

/// Host error code: 0 is success.
typedef A_long PF_Err;
/// Command selector passed to the entry point.
typedef A_long PF_Cmd;

/// Signed 16.16 fixed point: 1.0 is 65536.
typedef A_long PF_Fixed;
typedef double PF_FpLong;
typedef float PF_FpShort;

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

/// Opaque reference to the effect instance, handed back to the host's callbacks.
typedef void* PF_ProgPtr;

#ifdef __cplusplus
}
#endif

#endif
