#include "plugin/host/current_document.h"

#include "acdocman.h"

namespace lnkhold::host {

AcDbTransactionManager* currentTransactionManager() {
    AcApDocument* document = acDocManagerPtr()->curDocument();
    return document ? document->transactionManager() : nullptr;
}

ScopedTransaction::ScopedTransaction()
    : manager_(currentTransactionManager()), open_(manager_ && manager_->startTransaction()) {}

ScopedTransaction::~ScopedTransaction() {
    if (open_) {
        manager_->abortTransaction();
    }
}

void ScopedTransaction::commit() {
    if (open_) {
        manager_->endTransaction();
        open_ = false;
    }
}

}  // namespace lnkhold::host
