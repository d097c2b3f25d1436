#include "cadhost/xref/xref_bind.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "cadhost/db/dxf_error.h"
#include "cadhost/db/record_copy.h"
#include "cadhost/xref/dependents.h"
#include "cadhost/xref/file_search.h"

namespace cadhost::xref {

namespace {

using db::DatabaseState;
using db::ObjectStub;
using db::RecordCopy;
using db::TableKind;
using db::Tag;
using db::TagList;
using dxf::RecordId;

constexpr std::int64_t kExternal = 4;
constexpr std::int64_t kOverlay = 8;
// External, overlay, dependent on an xref, resolved: what makes a block an xref.
constexpr std::int64_t kXrefBits = 4 | 8 | 16 | 32;
// The longest name a symbol table record accepts.
constexpr std::size_t kLongestName = 255;

std::int64_t blockFlags(DatabaseState& db, const ObjectStub* block) {
    const RecordId begin = db.blockBegin(block);
    return begin == dxf::kNoRecord ? 0 : db::groupInteger(db.doc().tags(begin), 70);
}

bool isBound(const std::vector<BoundXref>& xrefs, std::string_view name) {
    return std::any_of(xrefs.begin(), xrefs.end(),
                       [name](const BoundXref& xref) { return db::sameName(xref.name, name); });
}

// Layers every drawing has of its own: an xref never brings them in, so the entities of an
// xref on them join the drawing's.
bool isSharedLayer(std::string_view name) {
    return db::sameName(name, "0") || db::sameName(name, "DEFPOINTS");
}

void removeGroup(TagList& tags, int code) {
    if (auto at = db::findGroup(tags, code)) {
        tags.erase(tags.begin() + static_cast<std::ptrdiff_t>(*at));
    }
}

// Whether a table the database does not model (line types, text styles) has an entry.
class TableNames {
  public:
    TableNames(DatabaseState& db, std::string_view table) {
        auto range = db.doc().table(table);
        for (RecordId id = range ? db.doc().next(range->begin) : dxf::kNoRecord;
             id != dxf::kNoRecord && id != range->end; id = db.doc().next(id)) {
            names_.insert(db::groupText(db.doc().tags(id), 2));
        }
    }
    bool has(const std::string& name) const { return names_.contains(name); }

  private:
    std::set<std::string, FoldedLess> names_;
};

// A block of the xref's drawing that goes with the copies, and its name in the drawing.
struct BlockCopy {
    std::vector<ObjectStub*> records;  // BLOCK_RECORD (R13 on), BLOCK, entities..., ENDBLK
    std::string name;
};

// The copy of one xref's drawing into its block.
class XrefCopy {
  public:
    XrefCopy(DatabaseState& target, db::UndoLog& log, const BoundXref& xref,
             const std::vector<BoundXref>& all, BindKind kind)
        : kind_(kind),
          target_(target),
          source_(xref.loaded->state()),
          xref_(xref),
          all_(all),
          copy_(target, log),
          log_(log),
          lineTypes_(target, "LTYPE"),
          textStyles_(target, "STYLE") {}

    Acad::ErrorStatus run() {
        if (source_.modern() != target_.modern()) {
            return Acad::eIncompatibleRelease;
        }
        ObjectStub* space = source_.findEntry(TableKind::Block, "*Model_Space");
        ObjectStub* block = xref_.block.stub();
        if (!block || block->state != &target_) {
            return Acad::eInvalidInput;
        }
        if (!space) {
            return Acad::eNullObjectId;  // a file of entities only: no model space block
        }
        if (Acad::ErrorStatus es = collect(space); es != Acad::eOk) {
            return es;
        }
        const std::vector<ObjectStub*> records = all();
        const bool lightweight = std::any_of(records.begin(), records.end(), [this](ObjectStub* s) {
            return source_.doc().type(s->record) == "LWPOLYLINE";
        });
        if (lightweight && !target_.hasLwpolylines()) {
            return Acad::eIncompatibleRelease;
        }
        const RecordId end = target_.blockEnd(block);
        const RecordId begin = target_.blockBegin(block);
        if (end == dxf::kNoRecord || begin == dxf::kNoRecord) {
            return Acad::eInvalidInput;
        }
        ObjectStub* blockEntity = target_.stubFor(begin);
        if (block->object || blockEntity->object) {
            return Acad::eWasOpenForRead;
        }
        reserveAll(space, block);
        if (nameTooLong_) {
            return Acad::eInvalidInput;
        }
        placeLayers();
        placeBlocks();
        for (ObjectStub* entity : entities_) {
            place(entity, end);
        }
        TagList tags = target_.tagsOf(blockEntity);
        db::setGroup(tags, Tag::integer(70, db::groupInteger(tags, 70) & ~kXrefBits));
        if (db::findGroup(tags, 1)) {
            db::setGroup(tags, Tag::text(1, ""));
        }
        target_.replace(blockEntity, std::move(tags), &log_);
        return Acad::eOk;
    }

  private:
    // Every record to copy, blocks' included.
    std::vector<ObjectStub*> all() const {
        std::vector<ObjectStub*> records = entities_;
        for (const BlockCopy& block : blocks_) {
            records.insert(records.end(), block.records.begin(), block.records.end());
        }
        return records;
    }

    // The entities of a block of the xref's drawing with their followers, overlays left out.
    std::vector<ObjectStub*> entitiesOf(ObjectStub* block) {
        std::vector<ObjectStub*> records;
        for (ObjectStub* entity : source_.blockEntities(block)) {
            if (insertsOverlay(entity)) {
                continue;
            }
            records.push_back(entity);
            for (ObjectStub* follower : source_.followers(entity)) {
                records.push_back(follower);
            }
        }
        return records;
    }

    bool insertsOverlay(const ObjectStub* entity) {
        if (source_.doc().type(entity->record) != "INSERT") {
            return false;
        }
        const std::string name = db::groupText(source_.doc().tags(entity->record), 2);
        ObjectStub* block = source_.findEntry(TableKind::Block, name);
        return block && (blockFlags(source_, block) & kOverlay) != 0;
    }

    Acad::ErrorStatus collect(ObjectStub* space) {
        entities_ = entitiesOf(space);
        std::vector<ObjectStub*> pending = entities_;
        while (!pending.empty()) {
            ObjectStub* record = pending.back();
            pending.pop_back();
            const std::string_view type = source_.doc().type(record->record);
            if (type != "INSERT" && type != "DIMENSION") {
                continue;
            }
            const std::string name = db::groupText(source_.doc().tags(record->record), 2);
            if (Acad::ErrorStatus es = resolveBlock(name, pending); es != Acad::eOk) {
                return es;
            }
        }
        return Acad::eOk;
    }

    // Decides what the drawing's name for a block of the xref's drawing is, and whether the
    // block is copied (its entities then join `pending`).
    Acad::ErrorStatus resolveBlock(const std::string& name, std::vector<ObjectStub*>& pending) {
        if (blockNames_.contains(name)) {
            return Acad::eOk;
        }
        blockNames_[name] = name;
        ObjectStub* block = source_.findEntry(TableKind::Block, name);
        if (!block || source_.entitiesInEntitiesSection(block)) {
            return Acad::eOk;  // nothing to copy: the reference stays as the xref has it
        }
        if ((blockFlags(source_, block) & kExternal) != 0) {
            return isBound(all_, name) ? Acad::eOk : Acad::eNotApplicable;
        }
        const bool anonymous = name.starts_with('*');
        ObjectStub* existing =
            kind_ == BindKind::Insert ? target_.findEntry(TableKind::Block, name) : nullptr;
        if (existing && !anonymous) {
            const bool otherXref =
                (blockFlags(target_, existing) & kExternal) != 0 && !isBound(all_, name);
            return otherXref ? Acad::eDuplicateRecordName : Acad::eOk;
        }
        BlockCopy copy;
        copy.name = anonymous                   ? freeAnonymousName(name)
                    : kind_ == BindKind::Insert ? name
                                                : prefixedName(TableKind::Block, name);
        blockNames_[name] = copy.name;
        if (source_.modern()) {
            copy.records.push_back(block);
        }
        copy.records.push_back(source_.stubFor(source_.blockBegin(block)));
        std::vector<ObjectStub*> entities = entitiesOf(block);
        copy.records.insert(copy.records.end(), entities.begin(), entities.end());
        copy.records.push_back(source_.stubFor(source_.blockEnd(block)));
        pending.insert(pending.end(), entities.begin(), entities.end());
        blocks_.push_back(std::move(copy));
        return Acad::eOk;
    }

    // "*U7" becomes the first "*U<n>" that neither the drawing nor this copy uses.
    std::string freeAnonymousName(const std::string& name) {
        const std::string prefix =
            name.size() > 1 && std::isalpha(static_cast<unsigned char>(name[1]))
                ? name.substr(0, 2)
                : std::string("*U");
        return firstFree(TableKind::Block, 1, [&](int n) { return prefix + std::to_string(n); });
    }

    // "XREF$0$NAME" for the xref's symbol NAME, the 0 raised until the name is free. A name
    // longer than a record accepts makes the bind fail before it changes anything.
    std::string prefixedName(TableKind kind, const std::string& name) {
        std::string given = firstFree(
            kind, 0, [&](int n) { return xref_.name + "$" + std::to_string(n) + "$" + name; });
        nameTooLong_ = nameTooLong_ || given.size() > kLongestName;
        return given;
    }

    // The first of the names `nameFor(first)`, `nameFor(first + 1)` ... that neither the
    // drawing's table nor an earlier choice of this copy has; it is taken from then on.
    template <class NameFor>
    std::string firstFree(TableKind kind, int first, NameFor nameFor) {
        std::set<std::string, FoldedLess>& given =
            kind == TableKind::Block ? givenBlocks_ : givenLayers_;
        for (int n = first;; ++n) {
            std::string candidate = nameFor(n);
            if (!given.contains(candidate) && !target_.findEntry(kind, candidate)) {
                given.insert(candidate);
                return candidate;
            }
        }
    }

    void reserveAll(ObjectStub* space, ObjectStub* block) {
        if (source_.modern()) {
            copy_.map(space->handle, block->handle);
            for (TableKind kind : {TableKind::Block, TableKind::Layer}) {
                copy_.map(source_.tableStub(kind)->handle, target_.tableStub(kind)->handle);
            }
        }
        std::set<std::string, FoldedLess> layers;
        for (ObjectStub* record : all()) {
            copy_.reserve(record);
            layers.insert(db::groupText(source_.doc().tags(record->record), 8, "0"));
        }
        chooseLayers(layers);
    }

    // Decides which layer of the drawing each layer the copies use becomes, and which
    // dependent layers are renamed.
    void chooseLayers(const std::set<std::string, FoldedLess>& used) {
        if (kind_ == BindKind::Prefixed) {
            for (ObjectStub* layer : target_.tableEntries(TableKind::Layer)) {
                const std::string name = target_.entryName(layer);
                if (isDependentOn(name, xref_.name)) {
                    const std::string own = name.substr(xref_.name.size() + 1);
                    renamedLayers_.emplace_back(layer, prefixedName(TableKind::Layer, own));
                    layerNames_[own] = renamedLayers_.back().second;
                }
            }
        }
        for (const std::string& name : used) {
            if (layerNames_.contains(name)) {
                continue;
            }
            const bool merged = kind_ == BindKind::Insert || isSharedLayer(name);
            if (merged && target_.findEntry(TableKind::Layer, name)) {
                continue;
            }
            ObjectStub* dependent =
                merged ? target_.findEntry(TableKind::Layer, xref_.name + "|" + name) : nullptr;
            if (dependent) {
                renamedLayers_.emplace_back(dependent, name);
            } else if (ObjectStub* layer = source_.findEntry(TableKind::Layer, name)) {
                const std::string own = source_.entryName(layer);
                copiedLayers_.emplace_back(layer,
                                           merged ? own : prefixedName(TableKind::Layer, own));
                if (!merged) {
                    layerNames_[name] = copiedLayers_.back().second;
                }
                copy_.reserve(layer);
            }
        }
    }

    // The dependent layers take their new names and stop being dependent, and the drawing's
    // entities on them follow; missing layers come from the xref's drawing.
    void placeLayers() {
        std::map<std::string, std::string, FoldedLess> renamed;  // old name -> new
        for (auto& [layer, name] : renamedLayers_) {
            TagList tags = target_.tagsOf(layer);
            renamed[db::groupText(tags, 2)] = name;
            db::setGroup(tags, Tag::text(2, name));
            db::setGroup(tags, Tag::integer(70, db::groupInteger(tags, 70) & ~(16 | 32)));
            target_.replace(layer, std::move(tags), &log_);
        }
        followRenamedLayers(renamed);
        for (auto& [layer, name] : copiedLayers_) {
            place(layer, target_.doc().table("LAYER")->end, name);
        }
    }

    // Before any copy is placed: the drawing's entities on renamed layers are moved to the
    // new names, so that no entity is left on a layer that is gone.
    void followRenamedLayers(const std::map<std::string, std::string, FoldedLess>& renamed) {
        if (renamed.empty()) {
            return;
        }
        std::vector<std::pair<ObjectStub*, std::string>> moved;
        for (const char* section : {"ENTITIES", "BLOCKS"}) {
            auto range = target_.doc().section(section);
            for (RecordId id = range ? target_.doc().next(range->begin) : dxf::kNoRecord;
                 id != dxf::kNoRecord && id != range->end; id = target_.doc().next(id)) {
                auto layer = renamed.find(db::groupText(target_.doc().tags(id), 8));
                if (layer != renamed.end()) {
                    moved.emplace_back(target_.stubFor(id), layer->second);
                }
            }
        }
        for (auto& [entity, name] : moved) {
            TagList tags = target_.tagsOf(entity);
            db::setGroup(tags, Tag::text(8, name));
            target_.replace(entity, std::move(tags), &log_);
        }
    }

    void placeBlocks() {
        for (const BlockCopy& block : blocks_) {
            for (ObjectStub* record : block.records) {
                const bool tableEntry = source_.doc().type(record->record) == "BLOCK_RECORD";
                place(record,
                      tableEntry ? target_.doc().table("BLOCK_RECORD")->end
                                 : target_.doc().section("BLOCKS")->end,
                      block.name);
            }
        }
    }

    // Places the copy of a record; `entryName` is the drawing's name of a block or layer record.
    void place(ObjectStub* record, RecordId position, const std::string& entryName = "") {
        TagList tags = copy_.remapped(record, source_.tagsOf(record));
        const std::string type = tags.front().value;
        if (type == "BLOCK_RECORD" || type == "BLOCK") {
            db::setGroup(tags, Tag::text(2, entryName));
            if (db::findGroup(tags, 3)) {
                db::setGroup(tags, Tag::text(3, entryName));
            }
        } else if (type == "LAYER") {
            db::setGroup(tags, Tag::text(2, entryName));
        } else if (type == "INSERT" || type == "DIMENSION") {
            auto name = blockNames_.find(db::groupText(tags, 2));
            if (name != blockNames_.end()) {
                db::setGroup(tags, Tag::text(2, name->second));
            }
        }
        if (auto layer = layerNames_.find(db::groupText(tags, 8)); layer != layerNames_.end()) {
            db::setGroup(tags, Tag::text(8, layer->second));
        }
        const std::string lineType = db::groupText(tags, 6);
        if (!lineType.empty() && !lineTypes_.has(lineType)) {
            if (type == "LAYER") {
                db::setGroup(tags, Tag::text(6, "Continuous"));
            } else {
                removeGroup(tags, 6);
            }
        }
        const bool text = type == "TEXT" || type == "MTEXT" || type == "ATTRIB" || type == "ATTDEF";
        const std::string style = db::groupText(tags, 7);
        if (text && !style.empty() && !textStyles_.has(style)) {
            db::setGroup(tags, Tag::text(7, "Standard"));
        }
        copy_.place(std::move(tags), position);
    }

    BindKind kind_;
    DatabaseState& target_;
    DatabaseState& source_;
    const BoundXref& xref_;
    const std::vector<BoundXref>& all_;
    RecordCopy copy_;
    db::UndoLog& log_;
    TableNames lineTypes_;
    TableNames textStyles_;
    std::vector<ObjectStub*> entities_;  // of model space, with their followers
    std::vector<BlockCopy> blocks_;
    std::map<std::string, std::string, FoldedLess> blockNames_;  // xref's name -> drawing's
    // The drawing's layers and the xref's layers to copy, with the names they get.
    std::vector<std::pair<ObjectStub*, std::string>> renamedLayers_;
    std::vector<std::pair<ObjectStub*, std::string>> copiedLayers_;
    // The xref's layers that the drawing names otherwise: xref's name -> drawing's.
    std::map<std::string, std::string, FoldedLess> layerNames_;
    std::set<std::string, FoldedLess> givenBlocks_;  // names chosen by this copy
    std::set<std::string, FoldedLess> givenLayers_;
    bool nameTooLong_ = false;
};

}  // namespace

Acad::ErrorStatus bindAsBlocks(Change& change, AcDbDatabase& drawing,
                               const std::vector<BoundXref>& xrefs, BindKind kind) {
    try {
        for (const BoundXref& xref : xrefs) {
            XrefCopy copy(drawing.state(), change.log(), xref, xrefs, kind);
            if (Acad::ErrorStatus es = copy.run(); es != Acad::eOk) {
                return es;
            }
        }
    } catch (const dxf::DxfError&) {
        return Acad::eInvalidInput;
    }
    return Acad::eOk;
}

}  // namespace cadhost::xref
