// The packages as the asset loader's source of packaged files: its operations mapped onto the
// asynchronous file-object calls of core/packages.h. `packagesInit` installs it.
#pragma once

#include "core/async_asset.h"

// The one source object; it keeps no state of its own.
IAsyncAssetSource* packagedAssetSource();
