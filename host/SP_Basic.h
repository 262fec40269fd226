/// The host's basic suite: how every other suite is obtained and handed back.
#ifndef QUORVEL_HOST_SP_BASIC_H
#define QUORVEL_HOST_SP_BASIC_H

#include "PF_Types.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef A_long SPErr;
typedef PF_Boolean SPBoolean;

enum { kSPNoError = 0, kSPSuiteNotFoundError = 0x53214E46 /* 'S!NF' */ };

/// Suites are acquired and released by (name, version); a release must name
/// the same pair as its acquisition.
typedef struct SPBasicSuite {
    SPErr (*AcquireSuite)(const char* name, A_long version, const void** suite);
    SPErr (*ReleaseSuite)(const char* name, A_long version);
    SPBoolean (*IsEqual)(const char* token1, const char* token2);
    SPErr (*AllocateBlock)(size_t size, void** block);
    SPErr (*FreeBlock)(void* block);
    SPErr (*ReallocateBlock)(void* block, size_t newSize, void** newblock);
    SPErr (*Undefined)(void);
} SPBasicSuite;

#ifdef __cplusplus
}
#endif

#endif
