#include "world/entity/param_value.h"

#include "core/fatal_error.h"
#include "core/string_helpers.h"

#include <cstring>

void SParamValue::setInt(s32 value) {
    type = E_PARAM_INT;
    integer = value;
}

void SParamValue::setFloat(f32 value) {
    type = E_PARAM_FLOAT;
    real = value;
}

void SParamValue::setVector(f32 x, f32 y, f32 z, f32 w) {
    type = E_PARAM_VECTOR;
    vector[0] = x;
    vector[1] = y;
    vector[2] = z;
    vector[3] = w;
}

void SParamValue::setMatrix(const ClMatrix44& value) {
    type = E_PARAM_MATRIX;
    std::memcpy(matrix, value.m, sizeof(matrix));
}

void SParamValue::setText(const char* value) {
    type = E_PARAM_STRING;
    if (strCopyN(text, value ? value : "", PARAM_TEXT_CAPACITY) != E_TEXTCOPY_COMPLETE)
        fatalErrorf("parameter text \"%.40s...\" is longer than %u characters", value, PARAM_TEXT_CAPACITY - 1);
}

ClMatrix44 SParamValue::getMatrix() const {
    ClMatrix44 result;
    std::memcpy(result.m, matrix, sizeof(matrix));
    return result;
}

void copyEntityName(char* dest, const char* name) {
    if (strCopyN(dest, name ? name : "", ENTITY_NAME_CAPACITY) != E_TEXTCOPY_COMPLETE)
        fatalErrorf("name \"%s\" is longer than %u characters", name, ENTITY_NAME_CAPACITY - 1);
}
