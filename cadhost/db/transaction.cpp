#include "cadhost/db/dxf_error.h"
#include "cadhost/db/object_access.h"
#include "cadhost/sdk/dbtrans.h"

using cadhost::db::DatabaseState;
using cadhost::db::ObjectAccess;
using cadhost::db::ObjectStub;
using cadhost::db::TransactionState;

namespace cadhost::db {

TransactionState::TransactionState(DatabaseState& database, AcTransaction* enclosing)
    : db(database), parent(enclosing) {
    if (db.document) {
        marks = db.doc().editMarks();
        wasSaved = db.doc().revision() == db.savedRevision;
    }
}

}  // namespace cadhost::db

AcTransaction::AcTransaction(std::unique_ptr<TransactionState> state) : state_(std::move(state)) {}

AcTransaction::~AcTransaction() = default;

namespace {

bool isActive(AcTransaction* holder, AcTransaction* from) {
    for (AcTransaction* t = from; t; t = t->state().parent) {
        if (t == holder) {
            return true;
        }
    }
    return false;
}

std::vector<cadhost::db::TagList> partTags(AcDbObject& object) {
    std::vector<cadhost::db::TagList> parts;
    for (const auto& part : ObjectAccess::state(object).parts) {
        parts.push_back(part.tags);
    }
    return parts;
}

}  // namespace

Acad::ErrorStatus AcTransaction::getObject(AcDbObject*& object, AcDbObjectId id,
                                           AcDb::OpenMode mode, bool openErased) {
    object = nullptr;
    ObjectStub* stub = id.stub();
    if (!stub) {
        return Acad::eNullObjectId;
    }
    if (stub->state != &state_->db) {
        return Acad::eWrongDatabase;
    }
    if (stub->holder && isActive(stub->holder, this)) {
        if (stub->erased && !openErased) {
            return Acad::eWasErased;
        }
        // Opened by an enclosing transaction: remember its state for an abort of this one.
        if (stub->holder != this &&
            std::none_of(state_->resets.begin(), state_->resets.end(),
                         [stub](const TransactionState::Reset& r) { return r.stub == stub; })) {
            state_->resets.push_back({stub, partTags(*stub->object), stub->writer});
        }
        if (mode == AcDb::kForWrite && !stub->writer) {
            if (stub->readers > 1) {
                return Acad::eWasOpenForRead;
            }
            stub->readers = 0;
            stub->writer = true;
        }
        object = stub->object;
        return Acad::eOk;
    }
    Acad::ErrorStatus es = state_->db.open(object, stub, mode, openErased);
    if (es == Acad::eOk) {
        stub->holder = this;
        state_->held.push_back(stub);
    }
    return es;
}

AcDbTransactionManager::AcDbTransactionManager(DatabaseState& database) : database_(database) {}

AcDbTransactionManager::~AcDbTransactionManager() = default;

AcTransaction* AcDbTransactionManager::startTransaction() {
    AcTransaction* parent = topTransaction();
    active_.push_back(
        std::make_unique<AcTransaction>(std::make_unique<TransactionState>(database_, parent)));
    AcTransaction* started = active_.back().get();
    for (cadhost::db::TransactionWatcher* watcher : database_.watchers) {
        watcher->transactionStarted(*started);
    }
    return started;
}

int AcDbTransactionManager::numActiveTransactions() const {
    return static_cast<int>(active_.size());
}

AcTransaction* AcDbTransactionManager::topTransaction() const {
    return active_.empty() ? nullptr : active_.back().get();
}

Acad::ErrorStatus AcDbTransactionManager::getObject(AcDbObject*& object, AcDbObjectId id,
                                                    AcDb::OpenMode mode, bool openErased) {
    object = nullptr;
    AcTransaction* top = topTransaction();
    return top ? top->getObject(object, id, mode, openErased) : Acad::eNoActiveTransactions;
}

Acad::ErrorStatus AcDbTransactionManager::addNewlyCreatedDBRObject(AcDbObject* object, bool add) {
    AcTransaction* top = topTransaction();
    if (!top) {
        return Acad::eNoActiveTransactions;
    }
    ObjectStub* stub = object ? object->objectId().stub() : nullptr;
    if (!stub || stub->state != &database_) {
        return object ? Acad::eNotInDatabase : Acad::eInvalidInput;
    }
    if (stub->object != object || !stub->writer) {
        return Acad::eNotOpenForWrite;
    }
    std::vector<ObjectStub*>& held = top->state().held;
    if (!add) {
        if (stub->holder != top) {
            return Acad::eInvalidInput;
        }
        stub->holder = nullptr;
        std::erase(held, stub);
        return Acad::eOk;
    }
    if (stub->holder) {
        return stub->holder == top ? Acad::eOk : Acad::eInvalidInput;
    }
    stub->holder = top;
    held.push_back(stub);
    // An abort undoes the addition: the record with what came with it (a block's BLOCK and
    // entities, a polyline's vertices).
    for (const AcDbObject::State::Part& part : ObjectAccess::state(*object).parts) {
        if (part.stub) {
            top->state().log.entries.push_back(
                {cadhost::db::UndoLog::Kind::Inserted, part.stub, {}});
        }
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbTransactionManager::endTransaction() {
    AcTransaction* top = topTransaction();
    if (!top) {
        return Acad::eNoActiveTransactions;
    }
    TransactionState& state = top->state();
    Acad::ErrorStatus es = Acad::eOk;
    for (ObjectStub* stub : state.held) {
        if (stub->object && stub->holder == top) {
            if (stub->writer) {
                try {
                    database_.writeBack(*stub->object, &state.log);
                } catch (const cadhost::dxf::DxfError&) {
                    es = Acad::eInvalidInput;
                }
            }
            stub->holder = nullptr;
            database_.release(stub);
        }
    }
    if (state.parent) {
        auto& outer = state.parent->state().log.entries;
        outer.insert(outer.end(), state.log.entries.begin(), state.log.entries.end());
    }
    for (cadhost::db::TransactionWatcher* watcher : database_.watchers) {
        watcher->transactionEnded(*top);
    }
    active_.pop_back();
    return es;
}

Acad::ErrorStatus AcDbTransactionManager::abortTransaction() {
    AcTransaction* top = topTransaction();
    if (!top) {
        return Acad::eNoActiveTransactions;
    }
    TransactionState& state = top->state();
    for (ObjectStub* stub : state.held) {
        if (stub->object && stub->holder == top) {
            stub->holder = nullptr;
            database_.release(stub);
        }
    }
    for (auto reset = state.resets.rbegin(); reset != state.resets.rend(); ++reset) {
        if (AcDbObject* object = reset->stub->object) {
            auto& parts = ObjectAccess::state(*object).parts;
            for (std::size_t i = 0; i < parts.size() && i < reset->parts.size(); ++i) {
                parts[i].tags = reset->parts[i];
            }
            ObjectAccess::state(*object).eraseTo.reset();
            if (!reset->writer && reset->stub->writer) {
                reset->stub->writer = false;
                reset->stub->readers = 1;
            }
        }
    }
    database_.undo(state.log);
    // Every edit made meanwhile is undone: the handles it took are free again, and a drawing
    // that was unchanged (or saved) is so again, so that it writes what it wrote before.
    if (state.marks && database_.document) {
        database_.doc().restoreEditMarks(*state.marks);
        if (state.wasSaved) {
            database_.savedRevision = database_.doc().revision();
        }
    }
    for (cadhost::db::TransactionWatcher* watcher : database_.watchers) {
        watcher->transactionAborted(*top);
    }
    active_.pop_back();
    return Acad::eOk;
}
