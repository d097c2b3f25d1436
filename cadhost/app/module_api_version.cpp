// Linked into every module: the API-version handshake the host asks for before loading it.

#include "cadhost/sdk/rxregsvc.h"

std::int32_t acrxGetApiVersion() {
    return kAcrxApiVersion;
}
