#pragma once
// A change to a drawing that is undone unless it is committed: a transaction of the
// drawing, aborted when the object goes away uncommitted.

#include "cadhost/db/database_state.h"
#include "cadhost/sdk/dbtrans.h"

namespace cadhost::xref {

class Change {
  public:
    explicit Change(AcDbDatabase& drawing)
        : manager_(*drawing.transactionManager()), transaction_(manager_.startTransaction()) {}
    ~Change() {
        if (!committed_) {
            manager_.abortTransaction();
        }
    }
    Change(const Change&) = delete;
    Change& operator=(const Change&) = delete;

    // Opens an object of class T through the transaction; it stays open until the change ends.
    template <class T>
    Acad::ErrorStatus open(T*& object, AcDbObjectId id, AcDb::OpenMode mode) {
        object = nullptr;
        AcDbObject* opened = nullptr;
        Acad::ErrorStatus es = transaction_->getObject(opened, id, mode);
        if (es == Acad::eOk) {
            object = T::cast(opened);
            es = object ? Acad::eOk : Acad::eNotThatKindOfClass;
        }
        return es;
    }

    // Where record edits made below the object level log themselves, so that an abort
    // undoes them with the rest.
    db::UndoLog& log() { return transaction_->state().log; }

    Acad::ErrorStatus commit() {
        committed_ = true;
        return manager_.endTransaction();
    }

  private:
    AcDbTransactionManager& manager_;
    AcTransaction* transaction_;
    bool committed_ = false;
};

}  // namespace cadhost::xref
