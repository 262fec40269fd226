/// The host's basic suite: how every other suite is obtained and handed back.
#ifndef QUORVEL_HOST_SP_BASIC_H
#define QUORVEL_HOST_SP_BASIC_H

#include "host/PF_Types.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef A_long SPErr;
/// The suite layer's boolean is the platform's: a 4-byte int on Windows, one
/// byte elsewhere. Only IsEqual returns it.
#if defined(_WIN32)
typedef int32_t SPBoolean;
#else
typedef uint8_t SPBoolean;
#endif

enum { kSPNoError = 0, kSPSuiteNotFoundError = 0x53214664 /* 'S!Fd' */ };

/// Suites are acquired and released by (name, version); a release must name
/// the same pair as its acquisition.
typedef struct SPBasicSuite {
    SPErr (*AcquireSuite)(const char* name, int32_t version, const void** suite);
    SPErr (*ReleaseSuite)(const char* name, int32_t version);
    SPBoolean (*IsEqual)(const char* token1, const char* token2);
    SPErr (*AllocateBlock)(size_t size, void** block);
    SPErr (*FreeBlock)(void* block);
    SPErr (*ReallocateBlock)(void* block, size_t new_size, void** new_block);
    SPErr (*Undefined)(void);
} SPBasicSuite;

#ifdef __cplusplus
}
#endif

#endif
