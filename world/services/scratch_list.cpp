#include "world/services/scratch_list.h"

ClArray<void*> g_WorldScratchList;

void initWorldScratchList() { g_WorldScratchList.init(ARRAY_INITIAL_CAPACITY); }

void freeWorldScratchList() { g_WorldScratchList.release(); }
