// The tutorial tips belong to the action mode above the world; the entity update only asks for
// one by name. The mode installs the hook; without it the request is dropped.
#pragma once

using MegaTipHook = void (*)(const char* tipName);

void setMegaTipHook(MegaTipHook hook);
void queueMegaTip(const char* tipName);
