#pragma once
// The current document's transaction manager, through the host's document manager.

class AcDbTransactionManager;

namespace lnkhold::host {

// Null when no document is current.
AcDbTransactionManager* currentTransactionManager();

// A transaction on the current document for the life of the object: aborted unless
// commit() was called. Without a current document it does nothing.
class ScopedTransaction {
  public:
    ScopedTransaction();
    ~ScopedTransaction();
    ScopedTransaction(const ScopedTransaction&) = delete;
    ScopedTransaction& operator=(const ScopedTransaction&) = delete;

    void commit();

  private:
    AcDbTransactionManager* manager_;
    bool open_;
};

}  // namespace lnkhold::host
