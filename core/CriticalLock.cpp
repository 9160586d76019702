#include "CriticalLock.h"

CriticalLock playbackLock;

CriticalLock::CriticalLock()
{
    section = static_cast<CRITICAL_SECTION*>(LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, sizeof(CRITICAL_SECTION)));
    if (section != nullptr)
        InitializeCriticalSection(section);
}

CriticalLock::~CriticalLock()
{
    if (section != nullptr) {
        DeleteCriticalSection(section);
        LocalFree(section);
    }
}

void CriticalLock::Enter()
{
    if (section != nullptr)
        EnterCriticalSection(section);
}

void CriticalLock::Leave()
{
    if (section != nullptr)
        LeaveCriticalSection(section);
}
