// The automation object: the application and its documents collection, which opens drawings.

#include <atomic>
#include <filesystem>

#include "cadhost/app/host_input.h"
#include "cadhost/sdk/acadi.h"
#include "cadhost/sdk/acdocman.h"

namespace {

// Interfaces of the host's lifetime: counting references is all they need.
template <class Interface>
class StaticObject : public Interface {
  public:
    std::uint32_t AddRef() override { return ++references_; }
    std::uint32_t Release() override { return --references_; }

  private:
    std::atomic<std::uint32_t> references_{0};
};

class Document final : public IAcadDocument {
  public:
    explicit Document(std::string fullName) : fullName_(std::move(fullName)) {}

    HRESULT QueryInterface(const IID& iid, void** object) override {
        if (!object) {
            return E_POINTER;
        }
        *object = nullptr;
        if (iid != IID_IUnknown && iid != IID_IDispatch) {
            return E_NOINTERFACE;
        }
        AddRef();
        *object = this;
        return S_OK;
    }
    std::uint32_t AddRef() override { return ++references_; }
    std::uint32_t Release() override {
        const std::uint32_t left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }
    HRESULT get_FullName(const char** name) override {
        if (!name) {
            return E_POINTER;
        }
        *name = fullName_.c_str();
        return S_OK;
    }

  private:
    ~Document() override = default;

    std::string fullName_;
    std::uint32_t references_ = 1;
};

class Documents final : public StaticObject<IAcadDocuments> {
  public:
    HRESULT QueryInterface(const IID& iid, void** object) override;

    HRESULT get_Count(std::int32_t* count) override {
        if (!count) {
            return E_POINTER;
        }
        *count = acDocManagerPtr()->documentCount();
        return S_OK;
    }

    HRESULT Open(const char* name, VARIANT readOnly, VARIANT, IAcadDocument** document) override {
        if (document) {
            *document = nullptr;
        }
        if (!name) {
            return E_INVALIDARG;
        }
        const std::optional<cadhost::app::ExistingFile> file = cadhost::app::findExistingFile(name);
        if (!file) {
            return E_ACAD_FILE_NOT_FOUND;
        }
        AcApDocManager* manager = acDocManagerPtr();
        AcApDocument* opened =
            manager->openDocument(file->hostPath, readOnly.vt == VT_BOOL && readOnly.boolVal);
        if (!opened) {
            return E_ACAD_OPEN_FAILED;
        }
        if (manager->isApplicationContext()) {
            manager->makeCurrent(opened);
        }
        if (document) {
            *document = new Document(opened->fileName());
        }
        return S_OK;
    }
};

class Application final : public StaticObject<IAcadApplication>, public CWinApp {
  public:
    HRESULT QueryInterface(const IID& iid, void** object) override {
        if (!object) {
            return E_POINTER;
        }
        *object = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IAcadApplication) {
            *object = static_cast<IAcadApplication*>(this);
        } else if (iid == IID_IAcadDocuments) {
            *object = static_cast<IAcadDocuments*>(&documents_);
        } else {
            return E_NOINTERFACE;
        }
        static_cast<IUnknown*>(*object)->AddRef();
        return S_OK;
    }

    HRESULT get_Documents(IAcadDocuments** documents) override {
        return QueryInterface(IID_IAcadDocuments, reinterpret_cast<void**>(documents));
    }

    IDispatch* GetIDispatch(bool addRef) override {
        if (addRef) {
            AddRef();
        }
        return this;
    }

  private:
    Documents documents_;
};

Application& application() {
    static Application instance;
    return instance;
}

HRESULT Documents::QueryInterface(const IID& iid, void** object) {
    if (!object) {
        return E_POINTER;
    }
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IAcadDocuments) {
        AddRef();
        *object = static_cast<IAcadDocuments*>(this);
        return S_OK;
    }
    return application().QueryInterface(iid, object);
}

}  // namespace

CWinApp* acedGetAcadWinApp() {
    return &application();
}
