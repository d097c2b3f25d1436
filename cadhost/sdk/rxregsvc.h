#pragma once
// The host's system registry and the names every module needs: message and result codes of
// the module entry point, the API version, the product key and the named dictionaries.

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "rxobject.h"

namespace AcRx {

// Messages the host sends to a module's acrxEntryPoint. For the drawing messages the second
// argument is the AcApDocument concerned instead of the module's handle.
enum AppMsgCode {
    kNullMsg = 0,
    kInitAppMsg = 1,
    kUnloadAppMsg = 2,
    kLoadDwgMsg = 3,
    kUnloadDwgMsg = 4,
    kInvkSubrMsg = 5,
    kCfgMsg = 6,
    kEndMsg = 7,
    kQuitMsg = 8,
    kSaveMsg = 9,
};

enum AppRetCode { kRetOK = 0, kRetError = 3 };

}  // namespace AcRx

// The API release this host offers: release 16.0. A module must report exactly this.
inline constexpr std::int32_t kAcrxApiVersion = 0x00100000;

// A module's resource instance; also the handle passed to its acrxEntryPoint.
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;

#define ACRX_EXPORT extern "C" __attribute__((visibility("default")))

// What every module exports for the host's loader; declared here with default visibility, so a
// module built with hidden visibility exports its definitions as they stand.
extern "C" __attribute__((visibility("default"))) AcRx::AppRetCode acrxEntryPoint(
    AcRx::AppMsgCode message, void* appId);
extern "C" __attribute__((visibility("default"))) std::int32_t acrxGetApiVersion();

// Names of objects in a dictionary. A dictionary owns what is put in it.
class AcRxDictionary : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(AcRxDictionary)

    // Null when the key is absent.
    AcRxObject* at(const char* key) const;
    // Puts the object under the key; the object that was there is deleted.
    void atPut(const char* key, AcRxObject* object);
    // Deletes the entry; false when the key is absent.
    bool remove(const char* key);
    std::size_t numEntries() const { return entries_.size(); }

  private:
    std::map<std::string, std::unique_ptr<AcRxObject>, std::less<>> entries_;
};

// The class records of the host's run-time classes, by class name.
class AcRxClassDictionary : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(AcRxClassDictionary)

    // Null when no class of that name is known.
    const AcRxClass* at(const char* className) const;
    void add(const AcRxClass* cls) { classes_[cls->name()] = cls; }

  private:
    std::map<std::string, const AcRxClass*, std::less<>> classes_;
};

// Keys of the system registry.
inline constexpr const char* ACRX_COMMAND_DOCK = "ACAD_REGISTERED_COMMANDS";
inline constexpr const char* ACRX_DYNAMIC_LINKER = "DynamicLinker";
inline constexpr const char* ACRX_CLASS_DICTIONARY = "ClassDictionary";

// The host's system registry: the command stack, the dynamic linker and the class dictionary.
AcRxDictionary* acrxSysRegistry();
AcRxClassDictionary* acrxClassDictionary();

// The host's product key below HKEY_LOCAL_MACHINE.
const char* acrxProductKey();

// Modules that include this header expect the dynamic linker with it (acrxDynamicLinker).
#include "rxdlinkr.h"
