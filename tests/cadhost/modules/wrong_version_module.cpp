// A module built for another API release: the host must refuse it before initialising it.

#include <cstdio>

#include "cadhost/sdk/rxregsvc.h"

ACRX_EXPORT std::int32_t acrxGetApiVersion() {
    return 0x000F0000;
}

ACRX_EXPORT AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode, void*) {
    std::fputs("wrong-version module was initialised\n", stderr);
    return AcRx::kRetError;
}
