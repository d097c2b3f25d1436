#include <cstdlib>
#include <cstring>

#include "cadhost/db/dxf_group_codes.h"
#include "cadhost/sdk/acutads.h"

bool acutRbHoldsString(int type) {
    return type == RTSTR || (cadhost::dxf::isValidGroupCode(type) &&
                             cadhost::dxf::valueType(type) == cadhost::dxf::ValueType::String);
}

bool acutRbHoldsBinary(int type) {
    return cadhost::dxf::isValidGroupCode(type) &&
           cadhost::dxf::valueType(type) == cadhost::dxf::ValueType::BinaryChunk;
}

resbuf* acutNewRb(int type) {
    auto* buffer = static_cast<resbuf*>(std::calloc(1, sizeof(resbuf)));
    if (buffer) {
        buffer->restype = static_cast<short>(type);
    }
    return buffer;
}

int acutRelRb(resbuf* chain) {
    while (chain) {
        resbuf* next = chain->rbnext;
        if (acutRbHoldsString(chain->restype)) {
            std::free(chain->resval.rstring);
        } else if (acutRbHoldsBinary(chain->restype)) {
            std::free(chain->resval.rbinary.buf);
        }
        std::free(chain);
        chain = next;
    }
    return RTNORM;
}

Acad::ErrorStatus acutNewString(const char* input, char*& output) {
    output = nullptr;
    if (!input) {
        return Acad::eOk;
    }
    std::size_t size = std::strlen(input) + 1;
    output = static_cast<char*>(std::malloc(size));
    if (!output) {
        return Acad::eOutOfMemory;
    }
    std::memcpy(output, input, size);
    return Acad::eOk;
}

void acutDelString(char*& string) {
    std::free(string);
    string = nullptr;
}
