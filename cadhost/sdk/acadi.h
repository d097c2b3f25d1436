#pragma once
// The host's automation object, shaped as its COM interfaces: the application and its
// documents collection, for opening drawings.

#include <cstdint>

using HRESULT = std::int32_t;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
// The drawing file was not found.
inline constexpr HRESULT E_ACAD_FILE_NOT_FOUND = static_cast<HRESULT>(0x80210073);
// The host refused to open the drawing (unreadable file, or a command context that forbids it).
inline constexpr HRESULT E_ACAD_OPEN_FAILED = static_cast<HRESULT>(0x80210074);

inline bool FAILED(HRESULT result) {
    return result < 0;
}
inline bool SUCCEEDED(HRESULT result) {
    return result >= 0;
}

struct GUID {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::uint8_t data4[8];
    friend bool operator==(const GUID&, const GUID&) = default;
};
using IID = GUID;

inline constexpr IID IID_IUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IDispatch = {
    0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IAcadApplication = {
    0x93BC4E71, 0xAFE7, 0x4AA7, {0xBC, 0x07, 0xF8, 0x0A, 0xCD, 0xB6, 0x72, 0xD5}};
inline constexpr IID IID_IAcadDocuments = {
    0xCE3683C2, 0xA49B, 0x4AE7, {0xAC, 0x30, 0xE4, 0x96, 0x8C, 0xC7, 0x0E, 0xD4}};

class IUnknown {
  public:
    virtual HRESULT QueryInterface(const IID& iid, void** object) = 0;
    virtual std::uint32_t AddRef() = 0;
    virtual std::uint32_t Release() = 0;

  protected:
    virtual ~IUnknown() = default;
};

class IDispatch : public IUnknown {
  protected:
    ~IDispatch() override = default;
};

// An optional argument: VT_ERROR marks it as missing.
using VARTYPE = std::uint16_t;
inline constexpr VARTYPE VT_EMPTY = 0;
inline constexpr VARTYPE VT_BSTR = 8;
inline constexpr VARTYPE VT_ERROR = 10;
inline constexpr VARTYPE VT_BOOL = 11;

struct VARIANT {
    VARTYPE vt = VT_ERROR;
    bool boolVal = false;
    const char* bstrVal = nullptr;
};

class IAcadDocument : public IDispatch {
  public:
    // The document's full host path; valid while the document is open.
    virtual HRESULT get_FullName(const char** name) = 0;

  protected:
    ~IAcadDocument() override = default;
};

class IAcadDocuments : public IDispatch {
  public:
    virtual HRESULT get_Count(std::int32_t* count) = 0;
    // Opens a drawing (readOnly: VT_BOOL; password: VT_BSTR, ignored: drawings here carry
    // none). E_ACAD_FILE_NOT_FOUND when there is no such file. The caller releases *document
    // (which may be null to ask for none).
    virtual HRESULT Open(const char* name, VARIANT readOnly, VARIANT password,
                         IAcadDocument** document) = 0;

  protected:
    ~IAcadDocuments() override = default;
};

class IAcadApplication : public IDispatch {
  public:
    virtual HRESULT get_Documents(IAcadDocuments** documents) = 0;

  protected:
    ~IAcadApplication() override = default;
};

// The host's application object, whose dispatch interface leads to the others.
class CWinApp {
  public:
    // With addRef the caller releases the interface.
    virtual IDispatch* GetIDispatch(bool addRef) = 0;

  protected:
    virtual ~CWinApp() = default;
};

CWinApp* acedGetAcadWinApp();
