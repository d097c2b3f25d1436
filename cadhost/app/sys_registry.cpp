// The system registry with its three entries, and the class dictionary of the host's classes.

#include "cadhost/sdk/accmd.h"
#include "cadhost/sdk/rxdlinkr.h"
#include "cadhost/sdk/rxregsvc.h"

ACRX_DEFINE_MEMBERS(AcRxDictionary, AcRxObject)
ACRX_DEFINE_MEMBERS(AcRxClassDictionary, AcRxObject)

AcRxObject* AcRxDictionary::at(const char* key) const {
    auto found = key ? entries_.find(key) : entries_.end();
    return found == entries_.end() ? nullptr : found->second.get();
}

void AcRxDictionary::atPut(const char* key, AcRxObject* object) {
    entries_[key].reset(object);
}

bool AcRxDictionary::remove(const char* key) {
    return key && entries_.erase(key) > 0;
}

const AcRxClass* AcRxClassDictionary::at(const char* className) const {
    auto found = className ? classes_.find(className) : classes_.end();
    return found == classes_.end() ? nullptr : found->second;
}

namespace {

AcRxDictionary* buildSysRegistry() {
    auto* registry = new AcRxDictionary;
    auto* classes = new AcRxClassDictionary;
    for (const AcRxClass* cls :
         {AcRxObject::desc(), AcRxDictionary::desc(), AcRxClassDictionary::desc(),
          AcEdCommandStack::desc(), AcRxDynamicLinker::desc()}) {
        classes->add(cls);
    }
    registry->atPut(ACRX_CLASS_DICTIONARY, classes);
    registry->atPut(ACRX_COMMAND_DOCK, new AcEdCommandStack);
    registry->atPut(ACRX_DYNAMIC_LINKER, new AcRxDynamicLinker);
    return registry;
}

}  // namespace

AcRxDictionary* acrxSysRegistry() {
    static AcRxDictionary* const registry = buildSysRegistry();  // lives until the process ends
    return registry;
}

AcRxClassDictionary* acrxClassDictionary() {
    return AcRxClassDictionary::cast(acrxSysRegistry()->at(ACRX_CLASS_DICTIONARY));
}
