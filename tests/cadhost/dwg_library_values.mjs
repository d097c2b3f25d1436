// Prints, as JSON, the model-space entities of a DWG drawing as the DWG library reads them, in
// the plain form dwg_compare.py compares: the values come from the library's typed database,
// untouched by the host's reader. Usage: node dwg_library_values.mjs READER_DIR DRAWING.dwg
import fs from 'node:fs';
import path from 'node:path';
import { pathToFileURL } from 'node:url';

const [readerDir, drawing] = process.argv.slice(2);
const { LibreDwg, Dwg_File_Type } = await import(pathToFileURL(
    path.join(readerDir, 'node_modules/@mlightcad/libredwg-web/dist/libredwg-web.js')).href);
const lib = await LibreDwg.create(path.join(readerDir, 'node_modules/@mlightcad/libredwg-web/wasm') + '/');
const db = lib.convert(lib.dwg_read_data(fs.readFileSync(drawing), Dwg_File_Type.DWG));
const deg = (r) => r * 180 / Math.PI;
const p3 = (p) => [p?.x ?? 0, p?.y ?? 0, p?.z ?? 0];
const p2 = (p) => [p?.x ?? 0, p?.y ?? 0];

function plain(e) {
    switch (e.type) {
        case 'LINE': return [p3(e.startPoint), p3(e.endPoint)];
        case 'CIRCLE': return [p3(e.center), e.radius];
        case 'ARC': return [p3(e.center), e.radius, deg(e.startAngle), deg(e.endAngle)];
        case 'POINT': return [p3(e.position)];
        case 'ELLIPSE': return [p3(e.center), p3(e.majorAxisEndPoint), e.axisRatio];
        case 'LWPOLYLINE': return e.vertices.map((v) => [v.x, v.y, v.bulge ?? 0]);
        case 'POLYLINE2D':
        case 'POLYLINE3D': return e.vertices.map((v) => [v.x, v.y, e.type === 'POLYLINE3D' ? v.z : 0]);
        case 'SPLINE': return [e.degree, e.controlPoints.map(p3), e.fitPoints.map(p3)];
        case 'TEXT': return [e.text, p2(e.startPoint), e.textHeight];
        case 'MTEXT': return [e.text, p3(e.insertionPoint), e.textHeight];
        case 'INSERT': return [e.name, p3(e.insertionPoint), e.xScale, deg(e.rotation),
            (e.attribs ?? []).map((a) => [a.tag, a.text.text])];
        case 'DIMENSION': return [e.name];
        case 'SOLID': return [p2(e.corner1), p2(e.corner2), p2(e.corner3), p2(e.corner4 ?? e.corner3)];
        case '3DFACE': return [p3(e.corner1), p3(e.corner2), p3(e.corner3), p3(e.corner4 ?? e.corner3)];
        case 'HATCH': return [e.solidFill === 1 ? 'SOLID' : e.patternName, e.boundaryPaths.length];
        case 'ATTDEF': return [e.tag, e.prompt];
        default: return null;
    }
}

const model = db.tables.BLOCK_RECORD.entries.find((b) => b.name.toUpperCase() === '*MODEL_SPACE');
const out = model.entities.map((e) => ({ type: e.type, layer: e.layer, values: plain(e) }));
process.stdout.write(JSON.stringify(out));
