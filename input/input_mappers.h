// The three input mappers: play, menus and the free-fly debug camera. Each adds the raw values
// of one player's record and the shared key states into channels; bindings are fixed.
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

// Writes the debug-camera channel block, whatever the player.
class ClInputMapperDebugCamera final : public ClInputMapperBase {
public:
    void mapInputs(int player) override;
};

// The mappers the input layer owns, between initInput and shutdownInput; null otherwise.
ClInputMapperBase* gameplayInputMapper();
ClInputMapperBase* menusInputMapper();
ClInputMapperBase* debugCameraInputMapper();
void createDebugCameraMapper();
void createInputMappers();
void destroyInputMappers();
