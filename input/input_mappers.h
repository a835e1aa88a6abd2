// The input mappers of play and the menus. Each adds the raw values of one player's record and
// the shared key states into channels; bindings are fixed.
#pragma once

#include "input/input_mapper.h"

class ClInputMapperGAMENormalGameplay final : public ClInputMapperBase {
public:
    void mapInputs(int player) override;
};

class ClInputMapperMenus final : public ClInputMapperBase {
public:
    void mapInputs(int player) override;
};

// The mappers the input layer owns, between initInput and shutdownInput; null otherwise.
ClInputMapperBase* gameplayInputMapper();
ClInputMapperBase* menusInputMapper();
void createInputMappers();
void destroyInputMappers();
