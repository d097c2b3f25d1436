#pragma once
// Run-time class descriptions: isKindOf and cast over the database's object classes.

class AcRxClass {
  public:
    constexpr AcRxClass(const char* name, const AcRxClass* parent) : name_(name), parent_(parent) {}
    const char* name() const { return name_; }
    const AcRxClass* myParent() const { return parent_; }
    bool isDerivedFrom(const AcRxClass* other) const {
        for (const AcRxClass* c = this; c; c = c->parent_) {
            if (c == other) {
                return true;
            }
        }
        return false;
    }

  private:
    const char* name_;
    const AcRxClass* parent_;
};

class AcRxObject {
  public:
    virtual ~AcRxObject() = default;
    static const AcRxClass* desc();
    virtual const AcRxClass* isA() const { return desc(); }
    bool isKindOf(const AcRxClass* cls) const { return isA()->isDerivedFrom(cls); }
};

// Declares desc(), isA() and cast() of a class; ACRX_DEFINE_MEMBERS defines desc().
#define ACRX_DECLARE_MEMBERS(CLASS)                                                              \
    static const AcRxClass* desc();                                                              \
    const AcRxClass* isA() const override {                                                      \
        return desc();                                                                           \
    }                                                                                            \
    static CLASS* cast(AcRxObject* object) {                                                     \
        return object && object->isKindOf(desc()) ? static_cast<CLASS*>(object) : nullptr;       \
    }                                                                                            \
    static const CLASS* cast(const AcRxObject* object) {                                         \
        return object && object->isKindOf(desc()) ? static_cast<const CLASS*>(object) : nullptr; \
    }

#define ACRX_DEFINE_MEMBERS(CLASS, PARENT)                  \
    const AcRxClass* CLASS::desc() {                        \
        static const AcRxClass cls(#CLASS, PARENT::desc()); \
        return &cls;                                        \
    }
