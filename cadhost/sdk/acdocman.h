#pragma once
// Documents: the open drawings, the current and the active one, queued command text and the
// resource-handle stack.

#include <memory>
#include <string>
#include <vector>

#include "acadstrc.h"
#include "dbtrans.h"
#include "rxregsvc.h"

namespace cadhost::xref {
class DrawingXrefs;
}

class AcApDocument {
  public:
    AcApDocument(std::unique_ptr<AcDbDatabase> database, std::string fileName, bool readOnly);
    ~AcApDocument();
    AcApDocument(const AcApDocument&) = delete;
    AcApDocument& operator=(const AcApDocument&) = delete;

    // Full host path; a drawing never saved has its bare name ("Drawing1.dxf").
    const char* fileName() const { return fileName_.c_str(); }
    AcDbDatabase* database() const { return database_.get(); }
    AcDbTransactionManager* transactionManager() const { return database_->transactionManager(); }
    bool isReadOnly() const { return readOnly_; }
    // True once the drawing has a file of its own.
    bool isNamed() const { return named_; }
    // Changes made since the drawing was opened or last saved.
    bool isModified() const { return database_->isModifiedSinceSave(); }
    // The drawing's xrefs, loaded when the document was made and kept while it is open.
    cadhost::xref::DrawingXrefs& xrefs() const { return *xrefs_; }
    // In a layout: 1 while paper space is active, else the number of the active viewport.
    int layoutViewport() const { return layoutViewport_; }
    void setLayoutViewport(int viewport) { layoutViewport_ = viewport; }

    // Saves under the document's file name, or under another one that becomes its name.
    Acad::ErrorStatus save();
    Acad::ErrorStatus saveAs(const char* hostPath);

  private:
    std::unique_ptr<AcDbDatabase> database_;
    std::unique_ptr<cadhost::xref::DrawingXrefs> xrefs_;  // goes before the database
    std::string fileName_;
    bool readOnly_;
    bool named_;
    int layoutViewport_ = 1;
};

class AcApDocumentIterator {
  public:
    explicit AcApDocumentIterator(std::vector<AcApDocument*> documents)
        : documents_(std::move(documents)) {}
    bool done() const { return index_ >= documents_.size(); }
    void step() { ++index_; }
    AcApDocument* document() const { return done() ? nullptr : documents_[index_]; }

  private:
    std::vector<AcApDocument*> documents_;
    std::size_t index_ = 0;
};

class AcApDocManager {
  public:
    AcApDocManager();
    ~AcApDocManager();

    AcApDocument* curDocument() const { return current_; }
    AcApDocument* mdiActiveDocument() const { return active_; }
    // The caller deletes the iterator.
    AcApDocumentIterator* newAcApDocumentIterator() const;
    int documentCount() const { return static_cast<int>(documents_.size()); }
    // Only in the application context (no command, or a session command running);
    // eNotApplicable otherwise.
    Acad::ErrorStatus activateDocument(AcApDocument* document, bool passScript = false);
    bool isApplicationContext() const;

    // Queues text as if typed; it runs after the current command ends ("\n" ends a line).
    Acad::ErrorStatus sendStringToExecute(AcApDocument* document, const char* text,
                                          bool activate = true, bool wrapUpInactiveDoc = false,
                                          bool echoString = true);

    void pushResourceHandle(HINSTANCE instance);
    void popResourceHandle();
    // The top of the resource-handle stack; the host's own instance when it is empty.
    HINSTANCE curResourceHandle() const;

    // The host's side, used by its commands and the automation object.
    // Opens a drawing file given by its host path; SDI mode first closes the open one (asking
    // about unsaved changes). Messages go to the command line. Null on failure.
    AcApDocument* openDocument(const std::string& hostPath, bool readOnly);
    AcApDocument* newDocument();
    // Closes a document, asking first when it has unsaved changes; false when it stays open
    // (the user cancelled, gave no answer, or saving failed; the latter two fail the running
    // command).
    bool closeDocument(AcApDocument* document, bool askFirst);
    // The open document with that host path, ignoring letter case; null when none.
    AcApDocument* findDocument(const std::string& hostPath) const;
    // Makes a document current and active, whatever the context (the host's own switch).
    void makeCurrent(AcApDocument* document);

  private:
    AcApDocument* addDocument(std::unique_ptr<AcApDocument> document);

    std::vector<std::unique_ptr<AcApDocument>> documents_;
    AcApDocument* current_ = nullptr;
    AcApDocument* active_ = nullptr;
    std::vector<HINSTANCE> resourceHandles_;
    int untitledCount_ = 0;
};

AcApDocManager* acDocManagerPtr();
#define acDocManager acDocManagerPtr()
