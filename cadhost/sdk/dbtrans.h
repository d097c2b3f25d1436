#pragma once
// Transactions of a database. Objects got through a transaction stay open until it ends;
// ending writes their changes back, aborting drops them and restores every record the
// transaction changed, added or erased (also through nested transactions that ended).

#include <memory>

#include "dbmain.h"

namespace cadhost::db {
class TransactionState;
}

class AcTransaction {
  public:
    explicit AcTransaction(std::unique_ptr<cadhost::db::TransactionState> state);
    ~AcTransaction();
    AcTransaction(const AcTransaction&) = delete;
    AcTransaction& operator=(const AcTransaction&) = delete;

    Acad::ErrorStatus getObject(AcDbObject*& object, AcDbObjectId id, AcDb::OpenMode mode,
                                bool openErased = false);

    cadhost::db::TransactionState& state() { return *state_; }

  private:
    std::unique_ptr<cadhost::db::TransactionState> state_;
};

class AcDbTransactionManager {
  public:
    explicit AcDbTransactionManager(cadhost::db::DatabaseState& database);
    ~AcDbTransactionManager();

    AcTransaction* startTransaction();
    Acad::ErrorStatus endTransaction();
    Acad::ErrorStatus abortTransaction();
    int numActiveTransactions() const;
    AcTransaction* topTransaction() const;
    // getObject of the top transaction.
    Acad::ErrorStatus getObject(AcDbObject*& object, AcDbObjectId id, AcDb::OpenMode mode,
                                bool openErased = false);
    // Hands an object just added to the database (open for write) to the top transaction: its
    // end closes it, its abort takes it out of the drawing again. With `add` false the
    // transaction lets go of it, and the caller closes it.
    Acad::ErrorStatus addNewlyCreatedDBRObject(AcDbObject* object, bool add = true);

  private:
    cadhost::db::DatabaseState& database_;
    std::vector<std::unique_ptr<AcTransaction>> active_;
};
