// The process-wide cipher lock, apart from the cipher itself, so that a program that only
// digests does not take the cipher's library in with it.
#include "core/cipher.h"

#include "core/crit_section_pool.h"

namespace {

SCritSection* g_pCipherLock = nullptr;

}  // namespace

void cipherLockInit() {
    if (!g_pCipherLock) g_pCipherLock = critSectionCreateOrDie("the cipher lock");
}

void cipherLockShutdown() {
    critSectionDestroy(g_pCipherLock);
    g_pCipherLock = nullptr;
}

ClCipherLockScope::ClCipherLockScope() { critSectionEnter(g_pCipherLock); }
ClCipherLockScope::~ClCipherLockScope() { critSectionLeave(g_pCipherLock); }
