#include "cadhost/db/new_drawing.h"

#include <string_view>

#include "cadhost/sdk/dbdate.h"

namespace cadhost::db {
namespace {

// Tag pairs, one "code value" a line; handles are fixed, $HANDSEED lies above them all.
constexpr std::string_view kTemplate = R"(0 SECTION
2 HEADER
9 $ACADVER
1 AC1018
9 $DWGCODEPAGE
3 ANSI_1252
9 $HANDSEED
5 30
9 $CLAYER
8 0
9 $TILEMODE
70 1
9 $VISRETAIN
70 1
9 $PROJECTNAME
1 
9 $TDCREATE
40 @NOW@
9 $TDUPDATE
40 @NOW@
0 ENDSEC
0 SECTION
2 CLASSES
0 ENDSEC
0 SECTION
2 TABLES
0 TABLE
2 VPORT
5 8
330 0
100 AcDbSymbolTable
70 1
0 VPORT
5 20
330 8
100 AcDbSymbolTableRecord
100 AcDbViewportTableRecord
2 *Active
70 0
10 0.0
20 0.0
11 1.0
21 1.0
12 0.0
22 0.0
40 10.0
41 1.0
0 ENDTAB
0 TABLE
2 LTYPE
5 5
330 0
100 AcDbSymbolTable
70 3
0 LTYPE
5 14
330 5
100 AcDbSymbolTableRecord
100 AcDbLinetypeTableRecord
2 ByBlock
70 0
3 
72 65
73 0
40 0.0
0 LTYPE
5 15
330 5
100 AcDbSymbolTableRecord
100 AcDbLinetypeTableRecord
2 ByLayer
70 0
3 
72 65
73 0
40 0.0
0 LTYPE
5 16
330 5
100 AcDbSymbolTableRecord
100 AcDbLinetypeTableRecord
2 Continuous
70 0
3 Solid line
72 65
73 0
40 0.0
0 ENDTAB
0 TABLE
2 LAYER
5 2
330 0
100 AcDbSymbolTable
70 1
0 LAYER
5 10
330 2
100 AcDbSymbolTableRecord
100 AcDbLayerTableRecord
2 0
70 0
62 7
6 Continuous
0 ENDTAB
0 TABLE
2 STYLE
5 3
330 0
100 AcDbSymbolTable
70 1
0 STYLE
5 11
330 3
100 AcDbSymbolTableRecord
100 AcDbTextStyleTableRecord
2 Standard
70 0
40 0.0
41 1.0
50 0.0
71 0
42 2.5
3 txt
4 
0 ENDTAB
0 TABLE
2 VIEW
5 6
330 0
100 AcDbSymbolTable
70 0
0 ENDTAB
0 TABLE
2 UCS
5 7
330 0
100 AcDbSymbolTable
70 0
0 ENDTAB
0 TABLE
2 APPID
5 9
330 0
100 AcDbSymbolTable
70 1
0 APPID
5 12
330 9
100 AcDbSymbolTableRecord
100 AcDbRegAppTableRecord
2 ACAD
70 0
0 ENDTAB
0 TABLE
2 DIMSTYLE
5 A
330 0
100 AcDbSymbolTable
70 1
100 AcDbDimStyleTable
0 DIMSTYLE
105 27
330 A
100 AcDbSymbolTableRecord
100 AcDbDimStyleTableRecord
2 Standard
70 0
0 ENDTAB
0 TABLE
2 BLOCK_RECORD
5 1
330 0
100 AcDbSymbolTable
70 2
0 BLOCK_RECORD
5 1F
330 1
100 AcDbSymbolTableRecord
100 AcDbBlockTableRecord
2 *Model_Space
340 22
0 BLOCK_RECORD
5 1B
330 1
100 AcDbSymbolTableRecord
100 AcDbBlockTableRecord
2 *Paper_Space
340 1E
0 ENDTAB
0 ENDSEC
0 SECTION
2 BLOCKS
0 BLOCK
5 21
330 1F
100 AcDbEntity
8 0
100 AcDbBlockBegin
2 *Model_Space
70 0
10 0.0
20 0.0
30 0.0
3 *Model_Space
1 
0 ENDBLK
5 23
330 1F
100 AcDbEntity
8 0
100 AcDbBlockEnd
0 BLOCK
5 1C
330 1B
100 AcDbEntity
67 1
8 0
100 AcDbBlockBegin
2 *Paper_Space
70 0
10 0.0
20 0.0
30 0.0
3 *Paper_Space
1 
0 ENDBLK
5 1D
330 1B
100 AcDbEntity
67 1
8 0
100 AcDbBlockEnd
0 ENDSEC
0 SECTION
2 ENTITIES
0 ENDSEC
0 SECTION
2 OBJECTS
0 DICTIONARY
5 C
330 0
100 AcDbDictionary
281 1
3 ACAD_GROUP
350 D
3 ACAD_LAYOUT
350 1A
0 DICTIONARY
5 D
330 C
100 AcDbDictionary
281 1
0 DICTIONARY
5 1A
330 C
100 AcDbDictionary
281 1
3 Layout1
350 1E
3 Model
350 22
@LAYOUTS@
0 ENDSEC
0 EOF
)";

// A layout's plot settings and geometry; the fields in @...@ differ between layouts.
constexpr std::string_view kLayout = R"(0 LAYOUT
5 @HANDLE@
330 1A
100 AcDbPlotSettings
1 
4 
6 
40 0.0
41 0.0
42 0.0
43 0.0
44 0.0
45 0.0
46 0.0
47 0.0
48 0.0
49 0.0
140 0.0
141 0.0
142 1.0
143 1.0
70 @PLOTFLAGS@
72 0
73 0
74 0
7 
75 0
147 1.0
148 0.0
149 0.0
100 AcDbLayout
1 @NAME@
70 1
71 @TAB@
10 0.0
20 0.0
11 12.0
21 9.0
12 0.0
22 0.0
32 0.0
14 0.0
24 0.0
34 0.0
15 0.0
25 0.0
35 0.0
146 0.0
13 0.0
23 0.0
33 0.0
16 1.0
26 0.0
36 0.0
17 0.0
27 1.0
37 0.0
76 0
330 @BLOCK@
)";

std::string replaced(std::string text, std::string_view field, std::string_view value) {
    for (std::size_t at = text.find(field); at != std::string::npos; at = text.find(field, at)) {
        text.replace(at, field.size(), value);
        at += value.size();
    }
    return text;
}

std::string layout(std::string_view handle, std::string_view name, std::string_view plotFlags,
                   std::string_view tab, std::string_view block) {
    std::string text(kLayout);
    text = replaced(text, "@HANDLE@", handle);
    text = replaced(text, "@NAME@", name);
    text = replaced(text, "@PLOTFLAGS@", plotFlags);
    text = replaced(text, "@TAB@", tab);
    return replaced(text, "@BLOCK@", block);
}

}  // namespace

std::string newDrawingDxf() {
    std::string now = std::to_string(AcDbDate::now().julian());
    std::string text = replaced(
        std::string(kTemplate), "@LAYOUTS@\n",
        layout("22", "Model", "1712", "0", "1F") + layout("1E", "Layout1", "688", "1", "1B"));
    std::string dxf;
    std::string_view rest = text;
    while (!rest.empty()) {
        std::string_view line = rest.substr(0, rest.find('\n'));
        rest.remove_prefix(std::min(rest.size(), line.size() + 1));
        std::size_t space = line.find(' ');
        std::string_view value = line.substr(space + 1);
        dxf.append(line.substr(0, space)).append("\n");
        dxf.append(value == "@NOW@" ? std::string_view(now) : value).append("\n");
    }
    return dxf;
}

}  // namespace cadhost::db
