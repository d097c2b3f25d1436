#pragma once
// Results of the drawing database's calls. Zero is success; every other value is a failure.

namespace Acad {

enum ErrorStatus {
    eOk = 0,
    eNotImplementedYet = 1,
    eNotApplicable = 2,
    eInvalidInput = 3,
    eOutOfMemory = 6,
    eInvalidOpenState = 8,
    eKeyNotFound = 22,
    eDuplicateRecordName = 23,
    eNullObjectId = 30,
    eNotInDatabase = 31,
    eAlreadyInDb = 32,
    eWrongDatabase = 33,
    eNoDatabase = 34,
    eNotOpenForWrite = 40,
    eNotOpenForRead = 41,
    eWasOpenForWrite = 42,
    eWasOpenForRead = 43,
    eWasErased = 44,
    eWasNotErased = 45,
    eNotThatKindOfClass = 46,
    eObjectIsReferenced = 47,  // a block or layer still in use cannot be erased
    eRegappIdNotFound = 50,
    eXdataSizeExceeded = 51,
    eBadDxfSequence = 52,
    eNoActiveTransactions = 60,
    eNotTopTransaction = 61,
    eFileNotFound = 70,
    eFileAccessErr = 71,
    eDwgNeedsRecovery = 72,
    eIncompatibleRelease = 73,
};

}  // namespace Acad
