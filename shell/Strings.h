/// The module's string table: the about box text and most control names.
#pragma once

#include "host/PF_Host.h"

namespace quorvel {

/// Record ids; a record's id is also its position in the table.
enum StrID : A_long {
    StrID_NONE = 0,
    StrID_Name,
    StrID_Description,
    StrID_Origin_Param_Name,
    StrID_Width_Param_Name,
    StrID_Height_Param_Name,
    StrID_Angle_Param_Name,
    StrID_Feather_Param_Name,
    StrID_Opacity_Param_Name,
    StrID_Invert_Param_Name,
    StrID_DependString1,
    StrID_DependString2,
    StrID_Err_LoadSuite,
    StrID_Err_FreeSuite,
    StrID_MaskType_Param_Name,
    StrID_MaskType_Choices,
    StrID_CompositeMode_Param_Name,
    StrID_CompositeMode_Choices,
    StrID_NUMTYPES
};

struct StringRecord {
    A_long index;
    A_char str[256];
};

extern const StringRecord StringTable[StrID_NUMTYPES];

/// The text of record `id`, found by position. An id outside the table gives
/// the empty string rather than reading past it.
const A_char* LookupString(A_long id);

}  // namespace quorvel
