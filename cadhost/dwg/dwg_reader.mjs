// The DWG reader of cadhost: a helper process that the host starts once per pass over a
// drawing's xrefs. It reads DWG drawings with LibreDWG compiled to WebAssembly and hands each one
// back as DXF text, which the host reads like any DXF drawing.
//
// Requests arrive on standard input, answers leave on file descriptor 3 (standard output and
// standard error belong to the library, which prints its warnings there). Every message is a
// frame: its length as 4 bytes little-endian, then that many bytes.
//   request: the native path of the DWG file (UTF-8)
//   answer:  "OK\n" + "SKIPPED <types>\n" + DXF text, or "ERR <reason>\n"
// The library sometimes fails on a drawing read after others in the same instance, so a fresh
// WebAssembly instance reads the next file after any file that reported a problem.

import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const kAnswerFd = 3;
const kCritical = 128;

function writeFrame(text) {
    const body = Buffer.from(text, 'utf8');
    const head = Buffer.alloc(4);
    head.writeUInt32LE(body.length, 0);
    const frame = Buffer.concat([head, body]);
    for (let done = 0; done < frame.length;) {
        done += fs.writeSync(kAnswerFd, frame, done, frame.length - done);
    }
}

// Reads exactly n bytes from standard input; null at its end.
function readExactly(n) {
    const buffer = Buffer.alloc(n);
    let done = 0;
    while (done < n) {
        let got;
        try {
            got = fs.readSync(0, buffer, done, n - done, null);
        } catch (error) {
            if (error.code === 'EAGAIN') continue;
            if (error.code === 'EOF') return null;
            throw error;
        }
        if (got === 0) return null;
        done += got;
    }
    return buffer;
}

function readRequest() {
    const head = readExactly(4);
    if (!head) return null;
    const body = readExactly(head.readUInt32LE(0));
    return body ? body.toString('utf8') : null;
}

let library = null;  // the module, or the reason it cannot be loaded
try {
    library = await import('@mlightcad/libredwg-web');
} catch (error) {
    library = 'the DWG library @mlightcad/libredwg-web is not installed in ' + here +
        ' (run scripts/bootstrap.sh): ' + String(error.message).split('\n')[0];
}

let instance = null;
async function freshInstance() {
    instance = await library.LibreDwg.create(
        path.join(here, 'node_modules', '@mlightcad', 'libredwg-web', 'wasm') + '/');
    return instance;
}

// --- DXF text

const kDegrees = 180 / Math.PI;

class Dxf {
    constructor() {
        this.lines = [];
        this.nextHandle = 0x100;  // below: the fixed handles of tables, dictionaries, layouts
    }
    handle() {
        return (this.nextHandle++).toString(16).toUpperCase();
    }
    tag(code, value) {
        let text;
        if (typeof value === 'number') {
            text = Number.isFinite(value) ? (Number.isInteger(value) && code >= 10 && code < 60
                ? value.toFixed(1) : String(value)) : '0';
        } else {
            text = String(value ?? '').replace(/[\r\n]/g, ' ');
        }
        this.lines.push(String(code), text);
    }
    integer(code, value) {
        this.lines.push(String(code), String(Math.trunc(Number(value) || 0)));
    }
    point(code, p, z = true) {
        this.tag(code, p?.x ?? 0);
        this.tag(code + 10, p?.y ?? 0);
        if (z) this.tag(code + 20, p?.z ?? 0);
    }
    text() {
        return this.lines.join('\n') + '\n';
    }
}

function hasExtrusion(e) {
    const n = e.extrusionDirection;
    if (!n || Math.hypot(n.x, n.y, n.z) < 1e-12) return false;
    return (Math.abs(n.x) > 1e-12 || Math.abs(n.y) > 1e-12 || Math.abs(n.z - 1) > 1e-12);
}

function extrusion(dxf, e) {
    if (hasExtrusion(e)) dxf.point(210, e.extrusionDirection);
}

// The common part of every entity: handle, owner, layer, line type, colour.
function entityHead(dxf, e, type, owner, paper) {
    dxf.tag(0, type);
    dxf.tag(5, dxf.handle());
    dxf.tag(330, owner);
    dxf.tag(100, 'AcDbEntity');
    if (paper) dxf.integer(67, 1);
    dxf.tag(8, e.layer || '0');
    if (e.lineType && e.lineType.toUpperCase() !== 'BYLAYER') dxf.tag(6, e.lineType);
    if (e.colorIndex !== undefined && e.colorIndex !== 256 && e.colorIndex >= 0 &&
        e.colorIndex <= 257) {
        dxf.integer(62, e.colorIndex);
    }
    if (e.lineTypeScale !== undefined && e.lineTypeScale !== 1 && e.lineTypeScale > 0) {
        dxf.tag(48, e.lineTypeScale);
    }
    if (e.isVisible === false) dxf.integer(60, 1);
}

function textBody(dxf, t, subclass) {
    dxf.tag(100, subclass);
    if (t.thickness) dxf.tag(39, t.thickness);
    dxf.point(10, t.startPoint);
    dxf.tag(40, t.textHeight || 1);
    dxf.tag(1, t.text);
    if (t.rotation) dxf.tag(50, t.rotation * kDegrees);
    if (t.xScale && t.xScale !== 1) dxf.tag(41, t.xScale);
    if (t.obliqueAngle) dxf.tag(51, t.obliqueAngle * kDegrees);
    if (t.styleName) dxf.tag(7, t.styleName);
    if (t.generationFlag) dxf.integer(71, t.generationFlag);
    if (t.halign) dxf.integer(72, t.halign);
    if (t.halign || t.valign) dxf.point(11, t.endPoint);
    extrusion(dxf, t);
}

// Writers of the entity types the host takes from a DWG drawing, each after the common part
// that entityHead() writes.
const writers = {
    LINE(dxf, e) {
        dxf.tag(100, 'AcDbLine');
        if (e.thickness) dxf.tag(39, e.thickness);
        dxf.point(10, e.startPoint);
        dxf.point(11, e.endPoint);
        extrusion(dxf, e);
    },
    CIRCLE(dxf, e) {
        dxf.tag(100, 'AcDbCircle');
        if (e.thickness) dxf.tag(39, e.thickness);
        dxf.point(10, e.center);
        dxf.tag(40, e.radius);
        extrusion(dxf, e);
    },
    ARC(dxf, e) {
        writers.CIRCLE(dxf, e);
        dxf.tag(100, 'AcDbArc');
        dxf.tag(50, e.startAngle * kDegrees);
        dxf.tag(51, e.endAngle * kDegrees);
    },
    POINT(dxf, e) {
        dxf.tag(100, 'AcDbPoint');
        dxf.point(10, e.position);
        if (e.thickness) dxf.tag(39, e.thickness);
        extrusion(dxf, e);
        if (e.angle) dxf.tag(50, e.angle * kDegrees);
    },
    ELLIPSE(dxf, e) {
        dxf.tag(100, 'AcDbEllipse');
        dxf.point(10, e.center);
        dxf.point(11, e.majorAxisEndPoint);
        dxf.point(210, e.extrusionDirection ?? { x: 0, y: 0, z: 1 });
        dxf.tag(40, e.axisRatio);
        dxf.tag(41, e.startAngle);
        dxf.tag(42, e.endAngle);
    },
    LWPOLYLINE(dxf, e) {
        dxf.tag(100, 'AcDbPolyline');
        dxf.integer(90, e.vertices.length);
        dxf.integer(70, e.flag & 0x81);
        if (e.constantWidth) dxf.tag(43, e.constantWidth);
        if (e.elevation) dxf.tag(38, e.elevation);
        if (e.thickness) dxf.tag(39, e.thickness);
        for (const v of e.vertices) {
            dxf.point(10, v, false);
            if (v.startWidth) dxf.tag(40, v.startWidth);
            if (v.endWidth) dxf.tag(41, v.endWidth);
            if (v.bulge) dxf.tag(42, v.bulge);
        }
        extrusion(dxf, e);
    },
    TEXT(dxf, e) {
        textBody(dxf, e, 'AcDbText');
        dxf.tag(100, 'AcDbText');
        if (e.valign) dxf.integer(73, e.valign);
    },
    SOLID(dxf, e) {
        dxf.tag(100, 'AcDbTrace');
        const z = e.elevation ?? 0;
        const c4 = e.corner4 ?? e.corner3;
        dxf.point(10, { ...e.corner1, z });
        dxf.point(11, { ...e.corner2, z });
        dxf.point(12, { ...e.corner3, z });
        dxf.point(13, { ...c4, z });
        if (e.thickness) dxf.tag(39, e.thickness);
        extrusion(dxf, e);
    },
    '3DFACE'(dxf, e) {
        dxf.tag(100, 'AcDbFace');
        dxf.point(10, e.corner1);
        dxf.point(11, e.corner2);
        dxf.point(12, e.corner3);
        dxf.point(13, e.corner4 ?? e.corner3);
        if (e.flag) dxf.integer(70, e.flag);
    },
    SPLINE(dxf, e) {
        dxf.tag(100, 'AcDbSpline');
        if (e.normal) dxf.point(210, e.normal);
        dxf.integer(70, e.flag);
        dxf.integer(71, e.degree);
        dxf.integer(72, e.knots.length);
        dxf.integer(73, e.controlPoints.length);
        dxf.integer(74, e.fitPoints.length);
        if (e.knotTolerance) dxf.tag(42, e.knotTolerance);
        if (e.controlTolerance) dxf.tag(43, e.controlTolerance);
        if (e.fitTolerance) dxf.tag(44, e.fitTolerance);
        if (e.fitPoints.length && e.startTangent) dxf.point(12, e.startTangent);
        if (e.fitPoints.length && e.endTangent) dxf.point(13, e.endTangent);
        for (const k of e.knots) dxf.tag(40, k);
        if (e.weights && e.weights.length === e.controlPoints.length) {
            for (const w of e.weights) dxf.tag(41, w);
        }
        for (const p of e.controlPoints) dxf.point(10, p);
        for (const p of e.fitPoints) dxf.point(11, p);
    },
    ATTDEF(dxf, e) {
        textBody(dxf, e.text, 'AcDbText');
        dxf.tag(100, 'AcDbAttributeDefinition');
        dxf.tag(3, e.prompt ?? '');
        dxf.tag(2, e.tag);
        dxf.integer(70, e.flags & 15);
        if (e.text.valign) dxf.integer(74, e.text.valign);
    },
    HATCH(dxf, e) {
        dxf.tag(100, 'AcDbHatch');
        dxf.point(10, { x: 0, y: 0, z: e.elevation ?? 0 });
        dxf.point(210, hasExtrusion(e) ? e.extrusionDirection : { x: 0, y: 0, z: 1 });
        const solid = e.solidFill === 1;
        dxf.tag(2, solid ? 'SOLID' : (e.patternName || 'ANSI31'));
        dxf.integer(70, solid ? 1 : 0);
        dxf.integer(71, 0);  // the boundary objects it followed are not carried over
        dxf.integer(91, e.boundaryPaths.length);
        for (const path of e.boundaryPaths) hatchPath(dxf, path);
        dxf.integer(75, e.hatchStyle ?? 0);
        dxf.integer(76, e.patternType ?? 1);
        if (!solid) {
            dxf.tag(52, (e.patternAngle ?? 0) * kDegrees);
            dxf.tag(41, e.patternScale || 1);
            dxf.integer(77, 0);
            const lines = e.definitionLines ?? [];
            dxf.integer(78, lines.length);
            for (const line of lines) {
                dxf.tag(53, line.angle * kDegrees);
                dxf.point(43, line.base, false);
                dxf.tag(45, line.offset.x);
                dxf.tag(46, line.offset.y);
                dxf.integer(79, line.dashLengths.length);
                for (const dash of line.dashLengths) dxf.tag(49, dash);
            }
        }
        dxf.integer(98, 0);
    },
    MTEXT(dxf, e) {
        dxf.tag(100, 'AcDbMText');
        dxf.point(10, e.insertionPoint);
        dxf.tag(40, e.textHeight || 1);
        dxf.tag(41, e.rectWidth || 0);
        dxf.integer(71, e.attachmentPoint || 1);
        dxf.integer(72, e.drawingDirection || 1);
        const text = String(e.text ?? '');
        for (let at = 0; at + 250 < text.length; at += 250) dxf.tag(3, text.slice(at, at + 250));
        dxf.tag(1, text.slice(Math.floor(Math.max(text.length - 1, 0) / 250) * 250));
        if (e.styleName) dxf.tag(7, e.styleName);
        extrusion(dxf, e);
        if (e.direction && (e.direction.x || e.direction.y)) dxf.point(11, e.direction);
        if (e.lineSpacing) dxf.tag(44, e.lineSpacing);
    },
};

// One boundary path of a hatch: a polyline, or edges (line, arc, elliptic arc, spline).
function hatchPath(dxf, path) {
    const flag = path.boundaryPathTypeFlag ?? 0;
    dxf.integer(92, flag);
    if (flag & 2) {
        const bulged = path.vertices.some((v) => v.bulge);
        dxf.integer(72, bulged ? 1 : 0);
        dxf.integer(73, path.isClosed ? 1 : 0);
        dxf.integer(93, path.vertices.length);
        for (const v of path.vertices) {
            dxf.point(10, v, false);
            if (bulged) dxf.tag(42, v.bulge ?? 0);
        }
    } else {
        dxf.integer(93, path.edges.length);
        for (const edge of path.edges) {
            dxf.integer(72, edge.type);
            if (edge.type === 1) {
                dxf.point(10, edge.start, false);
                dxf.point(11, edge.end, false);
            } else if (edge.type === 2 || edge.type === 3) {
                dxf.point(10, edge.center, false);
                if (edge.type === 3) dxf.point(11, edge.end, false);
                dxf.tag(40, edge.type === 2 ? edge.radius : edge.lengthOfMinorAxis);
                dxf.tag(50, edge.startAngle * kDegrees);
                dxf.tag(51, edge.endAngle * kDegrees);
                dxf.integer(73, edge.isCCW === false ? 0 : 1);
            } else {
                const weights = edge.controlPoints.some((p) => p.weight !== undefined);
                dxf.integer(94, edge.degree);
                dxf.integer(73, weights ? 1 : 0);
                dxf.integer(74, edge.isPeriodic ? 1 : 0);
                dxf.integer(95, edge.knots.length);
                dxf.integer(96, edge.controlPoints.length);
                for (const k of edge.knots) dxf.tag(40, k);
                for (const p of edge.controlPoints) {
                    dxf.point(10, p, false);
                    if (weights) dxf.tag(42, p.weight ?? 1);
                }
            }
        }
    }
    dxf.integer(97, 0);
}

// A dimension is kept as what it shows: a reference to its block of lines, arrows and text.
function writeDimension(dxf, e, owner, paper) {
    entityHead(dxf, e, 'INSERT', owner, paper);
    dxf.tag(100, 'AcDbBlockReference');
    dxf.tag(2, e.name);
    dxf.point(10, { x: 0, y: 0, z: 0 });
}

function writePolyline(dxf, e, owner, paper) {
    const is3d = e.type === 'POLYLINE3D';
    entityHead(dxf, e, 'POLYLINE', owner, paper);
    dxf.tag(100, is3d ? 'AcDb3dPolyline' : 'AcDb2dPolyline');
    dxf.integer(66, 1);
    dxf.point(10, { x: 0, y: 0, z: is3d ? 0 : (e.elevation ?? 0) });
    if (e.thickness) dxf.tag(39, e.thickness);
    dxf.integer(70, (e.flag & ~8) | (is3d ? 8 : 0));
    if (e.startWidth) dxf.tag(40, e.startWidth);
    if (e.endWidth) dxf.tag(41, e.endWidth);
    if (!is3d) extrusion(dxf, e);
    for (const v of e.vertices) {
        entityHead(dxf, { ...e, ...v, layer: v.layer || e.layer }, 'VERTEX', owner, paper);
        dxf.tag(100, 'AcDbVertex');
        dxf.tag(100, is3d ? 'AcDb3dPolylineVertex' : 'AcDb2dVertex');
        dxf.point(10, v);
        if (!is3d) {
            if (v.startWidth) dxf.tag(40, v.startWidth);
            if (v.endWidth) dxf.tag(41, v.endWidth);
            if (v.bulge) dxf.tag(42, v.bulge);
        }
        dxf.integer(70, is3d ? 32 : (v.flag & ~(32 | 64 | 128)));
    }
    entityHead(dxf, e, 'SEQEND', owner, paper);
}

function writeInsert(dxf, e, owner, paper) {
    const attribs = e.attribs ?? [];
    entityHead(dxf, e, 'INSERT', owner, paper);
    dxf.tag(100, 'AcDbBlockReference');
    if (attribs.length) dxf.integer(66, 1);
    dxf.tag(2, e.name);
    dxf.point(10, e.insertionPoint);
    if (e.xScale !== 1) dxf.tag(41, e.xScale);
    if (e.yScale !== 1) dxf.tag(42, e.yScale);
    if (e.zScale !== 1) dxf.tag(43, e.zScale);
    if (e.rotation) dxf.tag(50, e.rotation * kDegrees);
    if (e.columnCount > 1) dxf.integer(70, e.columnCount);
    if (e.rowCount > 1) dxf.integer(71, e.rowCount);
    if (e.columnSpacing) dxf.tag(44, e.columnSpacing);
    if (e.rowSpacing) dxf.tag(45, e.rowSpacing);
    extrusion(dxf, e);
    if (!attribs.length) return;
    for (const a of attribs) {
        entityHead(dxf, a, 'ATTRIB', owner, paper);
        textBody(dxf, a.text, 'AcDbText');
        dxf.tag(100, 'AcDbAttribute');
        dxf.tag(2, a.tag);
        dxf.integer(70, a.flags & 15);
        if (a.text.valign) dxf.integer(74, a.text.valign);
    }
    entityHead(dxf, e, 'SEQEND', owner, paper);
}

// Writes the entity; false when its type is not among those the host takes.
function writeEntity(dxf, e, owner, paper) {
    if (e.type === 'POLYLINE2D' || e.type === 'POLYLINE3D') {
        writePolyline(dxf, e, owner, paper);
        return true;
    }
    if (e.type === 'INSERT') {
        writeInsert(dxf, e, owner, paper);
        return true;
    }
    if (e.type === 'DIMENSION') {
        if (!e.name) return false;
        writeDimension(dxf, e, owner, paper);
        return true;
    }
    const writer = writers[e.type];
    if (!writer) return false;
    entityHead(dxf, e, e.type, owner, paper);
    writer(dxf, e);
    return true;
}

function isModelSpace(name) {
    return name.toUpperCase() === '*MODEL_SPACE';
}
function isPaperSpace(name) {
    return name.toUpperCase().startsWith('*PAPER_SPACE');
}

// The stored paths of the drawing's xref blocks, by block name: the typed database leaves them
// out, the raw objects have them.
function xrefPaths(lib, data) {
    const paths = new Map();
    const types = library.Dwg_Object_Type;
    const count = lib.dwg_get_num_objects(data);
    for (let i = 0; i < count; i++) {
        const obj = lib.dwg_get_object(data, i);
        if (!obj || lib.dwg_object_get_fixedtype(obj) !== types.DWG_TYPE_BLOCK_HEADER) continue;
        const tio = lib.dwg_object_to_object_tio(obj);
        if (!tio) continue;
        const flag = lib.dwg_dynapi_entity_data(tio, 'flag') ?? 0;
        if (!(flag & 4)) continue;
        const name = lib.dwg_entity_block_header_get_block(tio)?.name ||
            lib.dwg_dynapi_entity_data(tio, 'name');
        const xrefPath = lib.dwg_dynapi_entity_data(tio, 'xref_pname');
        if (name && typeof xrefPath === 'string') paths.set(name.toUpperCase(), xrefPath);
    }
    return paths;
}

function tableHead(dxf, name, count, handle) {
    dxf.tag(0, 'TABLE');
    dxf.tag(2, name);
    dxf.tag(5, handle);
    dxf.tag(330, '0');
    dxf.tag(100, 'AcDbSymbolTable');
    dxf.integer(70, count);
}

function recordHead(dxf, type, owner, subclass, name, flags) {
    const handle = dxf.handle();
    dxf.tag(0, type);
    dxf.tag(5, handle);
    dxf.tag(330, owner);
    dxf.tag(100, 'AcDbSymbolTableRecord');
    dxf.tag(100, subclass);
    dxf.tag(2, name);
    dxf.integer(70, flags);
    return handle;
}

// The DXF text of the drawing, and the entity types it left out.
function toDxf(db, paths) {
    const dxf = new Dxf();
    const skipped = new Set();
    const body = new Dxf();  // tables, blocks, entities: written first to learn the handles
    body.nextHandle = dxf.nextHandle;

    // Line types.
    const ltypes = db.tables.LTYPE.entries.filter(
        (l) => !['BYBLOCK', 'BYLAYER', 'CONTINUOUS'].includes(l.name.toUpperCase()));
    tableHead(body, 'LTYPE', ltypes.length + 3, '5');
    for (const [name, description] of [['ByBlock', ''], ['ByLayer', ''],
        ['Continuous', 'Solid line']]) {
        recordHead(body, 'LTYPE', '5', 'AcDbLinetypeTableRecord', name, 0);
        body.tag(3, description);
        body.integer(72, 65);
        body.integer(73, 0);
        body.tag(40, 0);
    }
    for (const l of ltypes) {
        const elements = (l.pattern ?? []).filter((p) => !(p.elementTypeFlag & 6));
        recordHead(body, 'LTYPE', '5', 'AcDbLinetypeTableRecord', l.name, 0);
        body.tag(3, l.description ?? '');
        body.integer(72, 65);
        body.integer(73, elements.length);
        body.tag(40, elements.reduce((sum, p) => sum + Math.abs(p.elementLength), 0));
        for (const p of elements) {
            body.tag(49, p.elementLength);
            body.integer(74, 0);
        }
    }
    body.tag(0, 'ENDTAB');

    // Layers; "0" first, always there.
    const layers = db.tables.LAYER.entries.filter((l) => l.name !== '0');
    const zero = db.tables.LAYER.entries.find((l) => l.name === '0') ??
        { name: '0', colorIndex: 7, lineType: 'Continuous' };
    tableHead(body, 'LAYER', layers.length + 1, '2');
    for (const l of [zero, ...layers]) {
        const flags = (l.frozen ? 1 : 0) | (l.frozenInNew ? 2 : 0) | (l.locked ? 4 : 0);
        recordHead(body, 'LAYER', '2', 'AcDbLayerTableRecord', l.name, flags);
        const colour = Math.min(Math.max(Math.abs(l.colorIndex || 7), 1), 255);
        body.integer(62, l.off ? -colour : colour);
        body.tag(6, l.lineType || 'Continuous');
        if (l.plotFlag === 0) body.integer(290, 0);
    }
    body.tag(0, 'ENDTAB');

    // Text styles; "Standard" always there.
    const styles = db.tables.STYLE.entries.filter((s) => s.name);
    if (!styles.some((s) => s.name.toUpperCase() === 'STANDARD')) {
        styles.unshift({ name: 'Standard', widthFactor: 1, font: 'txt', lastHeight: 2.5 });
    }
    tableHead(body, 'STYLE', styles.length, '3');
    for (const s of styles) {
        recordHead(body, 'STYLE', '3', 'AcDbTextStyleTableRecord', s.name,
            (s.standardFlag ?? 0) & 5);
        body.tag(40, s.fixedTextHeight || 0);
        body.tag(41, s.widthFactor || 1);
        body.tag(50, (s.obliqueAngle || 0) * kDegrees);
        body.integer(71, s.textGenerationFlag || 0);
        body.tag(42, s.lastHeight || 2.5);
        body.tag(3, s.font || 'txt');
        body.tag(4, s.bigFont || '');
    }
    body.tag(0, 'ENDTAB');

    // Registered applications.
    const apps = db.tables.APPID.entries.filter((a) => a.name && a.name.toUpperCase() !== 'ACAD');
    tableHead(body, 'APPID', apps.length + 1, '9');
    for (const a of [{ name: 'ACAD' }, ...apps]) {
        recordHead(body, 'APPID', '9', 'AcDbRegAppTableRecord', a.name, 0);
    }
    body.tag(0, 'ENDTAB');

    // Block records: model and paper space first, then the drawing's blocks.
    const blocks = [];
    let model = null;
    let paper = null;
    for (const b of db.tables.BLOCK_RECORD.entries) {
        if (isModelSpace(b.name)) model ??= b;
        else if (isPaperSpace(b.name)) paper ??= b;
        else if (b.name) blocks.push(b);
    }
    const records = [
        { name: '*Model_Space', source: model, flags: 0 },
        { name: '*Paper_Space', source: paper, flags: 0 },
        ...blocks.map((b) => ({ name: b.name, source: b, flags: b.flags ?? 0 })),
    ];
    tableHead(body, 'BLOCK_RECORD', records.length, '1');
    for (const r of records) {
        r.handle = recordHead(body, 'BLOCK_RECORD', '1', 'AcDbBlockTableRecord', r.name, 0);
        body.lines.splice(body.lines.length - 2, 2);  // block records keep flags in BLOCK
        if (r.name === '*Model_Space') body.tag(340, '22');
        if (r.name === '*Paper_Space') body.tag(340, '1E');
    }
    body.tag(0, 'ENDTAB');
    body.tag(0, 'ENDSEC');

    body.tag(0, 'SECTION');
    body.tag(2, 'BLOCKS');
    for (const r of records) {
        const isPaper = r.name === '*Paper_Space';
        const xref = (r.flags & 4) !== 0;
        body.tag(0, 'BLOCK');
        body.tag(5, body.handle());
        body.tag(330, r.handle);
        body.tag(100, 'AcDbEntity');
        if (isPaper) body.integer(67, 1);
        body.tag(8, '0');
        body.tag(100, 'AcDbBlockBegin');
        body.tag(2, r.name);
        body.integer(70, r.flags & (1 | 2 | 4 | 8));
        body.point(10, r.source?.basePoint);
        body.tag(3, r.name);
        body.tag(1, xref ? (paths.get(r.name.toUpperCase()) ?? '') : '');
        if (!xref && r.name !== '*Model_Space' && r.source) {
            for (const e of r.source.entities ?? []) {
                if (!writeEntity(body, e, r.handle, isPaper)) skipped.add(e.type);
            }
        }
        body.tag(0, 'ENDBLK');
        body.tag(5, body.handle());
        body.tag(330, r.handle);
        body.tag(100, 'AcDbEntity');
        if (isPaper) body.integer(67, 1);
        body.tag(8, '0');
        body.tag(100, 'AcDbBlockEnd');
    }
    body.tag(0, 'ENDSEC');

    body.tag(0, 'SECTION');
    body.tag(2, 'ENTITIES');
    const modelHandle = records[0].handle;
    for (const e of model?.entities ?? []) {
        if (!writeEntity(body, e, modelHandle, false)) skipped.add(e.type);
    }
    body.tag(0, 'ENDSEC');

    dxf.tag(0, 'SECTION');
    dxf.tag(2, 'HEADER');
    dxf.tag(9, '$ACADVER');
    dxf.tag(1, 'AC1021');
    dxf.tag(9, '$HANDSEED');
    dxf.tag(5, body.nextHandle.toString(16).toUpperCase());
    dxf.tag(9, '$CLAYER');
    dxf.tag(8, '0');
    // The drawing's own creation and last update (Julian days), which the xref list shows.
    for (const name of ['TDCREATE', 'TDUPDATE']) {
        const julian = db.header?.[name];
        if (typeof julian === 'number' && julian > 0) {
            dxf.tag(9, '$' + name);
            dxf.tag(40, julian);
        }
    }
    dxf.tag(9, '$INSUNITS');
    dxf.integer(70, db.header?.INSUNITS ?? 0);
    dxf.tag(0, 'ENDSEC');
    dxf.tag(0, 'SECTION');
    dxf.tag(2, 'CLASSES');
    dxf.tag(0, 'ENDSEC');
    dxf.tag(0, 'SECTION');
    dxf.tag(2, 'TABLES');
    for (const [name, handle] of [['VPORT', '8'], ['VIEW', '6'], ['UCS', '7']]) {
        tableHead(dxf, name, 0, handle);
        dxf.tag(0, 'ENDTAB');
    }
    tableHead(dxf, 'DIMSTYLE', 0, 'A');
    dxf.tag(100, 'AcDbDimStyleTable');
    dxf.tag(0, 'ENDTAB');
    return { text: dxf.text() + body.text() + objects(records), skipped: [...skipped].sort() };
}

function dictionary(dxf, handle, owner, entries) {
    dxf.tag(0, 'DICTIONARY');
    dxf.tag(5, handle);
    dxf.tag(330, owner);
    dxf.tag(100, 'AcDbDictionary');
    dxf.integer(281, 1);
    for (const [name, entry] of entries) {
        dxf.tag(3, name);
        dxf.tag(350, entry);
    }
}

// The dictionaries and the two layouts every drawing has.
function objects(records) {
    const dxf = new Dxf();
    dxf.tag(0, 'SECTION');
    dxf.tag(2, 'OBJECTS');
    dictionary(dxf, 'C', '0', [['ACAD_GROUP', 'D'], ['ACAD_LAYOUT', '1A']]);
    dictionary(dxf, 'D', 'C', []);
    dictionary(dxf, '1A', 'C', [['Layout1', '1E'], ['Model', '22']]);
    for (const [handle, name, flags, tab, block] of [
        ['22', 'Model', 1712, 0, records[0].handle],
        ['1E', 'Layout1', 688, 1, records[1].handle]]) {
        dxf.tag(0, 'LAYOUT');
        dxf.tag(5, handle);
        dxf.tag(330, '1A');
        dxf.tag(100, 'AcDbPlotSettings');
        dxf.tag(1, '');
        dxf.integer(70, flags);
        dxf.tag(100, 'AcDbLayout');
        dxf.tag(1, name);
        dxf.integer(70, 1);
        dxf.integer(71, tab);
        dxf.point(10, { x: 0, y: 0 }, false);
        dxf.point(11, { x: 12, y: 9 }, false);
        dxf.point(12, { x: 0, y: 0 });
        dxf.point(14, { x: 0, y: 0 });
        dxf.point(15, { x: 0, y: 0 });
        dxf.tag(146, 0);
        dxf.point(13, { x: 0, y: 0 });
        dxf.point(16, { x: 1, y: 0 });
        dxf.point(17, { x: 0, y: 1 });
        dxf.integer(76, 0);
        dxf.tag(330, block);
    }
    dxf.tag(0, 'ENDSEC');
    dxf.tag(0, 'EOF');
    return dxf.text();
}

async function readOnce(bytes) {
    let clean = true;
    try {
        const lib = instance ?? await freshInstance();
        const fs_ = lib.wasmInstance.FS;
        fs_.writeFile('in.dwg', new Uint8Array(bytes));
        let result;
        try {
            result = lib.wasmInstance.dwg_read_file('in.dwg');
        } finally {
            fs_.unlink('in.dwg');
        }
        // Codes from 128 on are failures; below they are warnings the library read past. The
        // instance is replaced after either, as later files read in it have failed.
        clean = result.error === 0;
        if (result.error >= kCritical || !result.data) {
            return 'ERR the DWG library cannot read it (error code ' + result.error + ')';
        }
        if (!lib.dwg_get_num_objects(result.data)) {
            lib.dwg_free(result.data);
            return 'ERR the DWG library finds no drawing in it (error code ' + result.error + ')';
        }
        const db = lib.convert(result.data);
        const paths = xrefPaths(lib, result.data);
        lib.dwg_free(result.data);
        const { text, skipped } = toDxf(db, paths);
        return 'OK\nSKIPPED ' + skipped.join(' ') + '\n' + text;
    } catch (error) {
        clean = false;
        throw error;
    } finally {
        if (!clean) instance = null;
    }
}

// A file that fails in an instance that has read others is read once more in a fresh one.
async function readDwg(file) {
    if (typeof library === 'string') return 'ERR ' + library;
    let bytes;
    try {
        bytes = fs.readFileSync(file);
    } catch (error) {
        return 'ERR cannot read the file: ' + error.code;
    }
    for (let attempt = 0; ; ++attempt) {
        const fresh = instance === null;
        try {
            return await readOnce(bytes);
        } catch (error) {
            if (fresh || attempt > 0) {
                return 'ERR the DWG library failed: ' +
                    String(error?.message ?? error).split('\n')[0];
            }
        }
    }
}

for (;;) {
    const file = readRequest();
    if (file === null) break;
    writeFrame(await readDwg(file));
}
