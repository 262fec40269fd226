#include "shell/Strings.h"

namespace quorvel {

const StringRecord StringTable[StrID_NUMTYPES] = {
    {StrID_NONE, ""},
    {StrID_Name, "Quorvel"},
    {StrID_Description,
     "Quorvel plugin for Adobe Premiere. Shapes the layer's alpha with a soft elliptical or "
     "rectangular matte, leaving its colour untouched."},
    {StrID_Origin_Param_Name, "Point of origin"},
    {StrID_Width_Param_Name, "Width"},
    {StrID_Height_Param_Name, "Height"},
    {StrID_Angle_Param_Name, "Angle"},
    {StrID_Feather_Param_Name, "Feather"},
    {StrID_Opacity_Param_Name, "Opacity"},
    {StrID_Invert_Param_Name, "Invert"},
    {StrID_DependString1, "All Dependencies requested."},
    {StrID_DependString2, "Missing Dependencies requested."},
    {StrID_Err_LoadSuite, "Error loading suite."},
    {StrID_Err_FreeSuite, "Error releasing suite."},
    {StrID_MaskType_Param_Name, "Mask Type"},
    {StrID_MaskType_Choices, "Ellipse|Rectangle|"},
    {StrID_CompositeMode_Param_Name, "Composite mode"},
    {StrID_CompositeMode_Choices, "Add|Subtract|Intersect|Create"},
};

const A_char* LookupString(A_long id) {
    if (id < 0 || id >= StrID_NUMTYPES) return StringTable[StrID_NONE].str;
    return StringTable[id].str;
}

}  // namespace quorvel
