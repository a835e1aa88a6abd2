#include "core/packaged_asset_source.h"

#include "core/packages.h"

namespace {

SAssetFile* asFile(void* file) { return static_cast<SAssetFile*>(file); }

struct SOpenRelay {
    AsyncSourceOpenedFn onOpen;
    void* user;
};

void relayOpened(SAssetFile* file, u32 size, void* user) {
    const SOpenRelay* relay = static_cast<const SOpenRelay*>(user);
    relay->onOpen(file, size, relay->user);
}

void relayDone(void* user) {
    const SAssetFileRelay& relay = asFile(user)->relay;
    if (relay.onDone) relay.onDone(relay.user);
}

void relayFailed(u32 stage, u32 error, void* user) {
    const SAssetFileRelay& relay = asFile(user)->relay;
    if (relay.onFail) relay.onFail(stage, error, relay.user);
}

class ClPackagedAssetSource final : public IAsyncAssetSource {
public:
    u32 openAsync(const char* path, void** outFile, AsyncSourceOpenedFn onOpen, AsyncSourceFailedFn,
                  void* user) override {
        // The open ends inside the call; a failure is reported by the status alone, so the
        // loader's on-fail is not called as well.
        SOpenRelay relay{onOpen, user};
        SAssetFile* file = nullptr;
        const u32 status = openPackagedFileAsync(path, &file, nullptr, nullptr, onOpen ? relayOpened : nullptr, &relay,
                                                 nullptr, nullptr, PACKAGE_ID_ANY);
        *outFile = file;
        return status;
    }

    bool prepareBuffers(void* file, u32 size, u32 alignment, u32 userWord) override {
        return prepareAssetFileBuffers(asFile(file), 0, size, alignment, userWord) == 1;
    }

    u32 readWholeAsync(void* file, u32 size, AsyncSourceDoneFn onDone, AsyncSourceFailedFn onFail,
                       void* user) override {
        asFile(file)->relay = SAssetFileRelay{onDone, onFail, user};
        return readAssetFileAsync(asFile(file), 0, size, relayDone, file, relayFailed, file);
    }

    void* dataBuffer(void* file) override { return asFile(file)->data; }

    u32 closeAsync(void* file, AsyncSourceDoneFn onClosed, AsyncSourceFailedFn onFail, void* user) override {
        asFile(file)->relay = SAssetFileRelay{onClosed, onFail, user};
        return closeAssetFileAsync(asFile(file), relayDone, file, relayFailed, file);
    }

    void closeNow(void* file) override { closeAssetFileDisk(asFile(file)); }

    void release(void* file) override { releaseAssetFile(asFile(file)); }
};

ClPackagedAssetSource g_packagedAssetSource;

}  // namespace

IAsyncAssetSource* packagedAssetSource() { return &g_packagedAssetSource; }
