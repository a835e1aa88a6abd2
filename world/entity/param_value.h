// The typed value of a named parameter and of a DNA instruction's operand.
#pragma once

#include "core/matrix44.h"
#include "core/types.h"
#include "core/vec.h"

enum EParamType : u32 {
    E_PARAM_NONE = 0,
    E_PARAM_STRING = 1,
    E_PARAM_INT = 2,
    E_PARAM_FLOAT = 3,
    E_PARAM_VECTOR = 4,
    E_PARAM_MATRIX = 5,  // instruction operands only
};

// Text values hold at most 91 characters and a terminator.
constexpr u32 PARAM_TEXT_CAPACITY = 92;
// Node and atom names hold at most 11 characters and a terminator.
constexpr u32 ENTITY_NAME_CAPACITY = 12;

// One payload, selected by the type; the payloads share their storage, and a value is always
// copied whole. Payloads of the other types are not cleared when one is written.
struct SParamValue {
    u32 type;
    union {
        char text[PARAM_TEXT_CAPACITY];
        s32 integer;
        f32 real;
        f32 vector[4];
        f32 matrix[16];
    };

    void setInt(s32 value);
    void setFloat(f32 value);
    void setVector(f32 x, f32 y, f32 z, f32 w);
    void setMatrix(const ClMatrix44& value);
    // A text of more than 91 characters is fatal.
    void setText(const char* value);

    ClVec3 getVector() const { return ClVec3(vector[0], vector[1], vector[2], vector[3]); }
    ClMatrix44 getMatrix() const;
};

// Copies a node or atom name into its 12-byte field; a name of more than 11 characters is fatal.
void copyEntityName(char* dest, const char* name);
