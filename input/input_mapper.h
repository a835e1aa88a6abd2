// An input mapper turns the raw input of a player's pad, keys and pointer into that player's
// control channels. The top mapper of each view slot runs once per frame.
#pragma once

class ClInputMapperBase {
public:
    virtual ~ClInputMapperBase() = default;
    // Adds this frame's contributions into the current side of the slot's player channels.
    virtual void mapInputs(int slot) = 0;
};
