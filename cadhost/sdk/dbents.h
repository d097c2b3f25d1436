#pragma once
// The entities the host models: block references and lightweight polylines. Every other
// entity opens as a plain AcDbEntity and is kept as the file has it.

#include "dbmain.h"
#include "gegeom.h"

class AcDbBlockReference : public AcDbEntity {
  public:
    ACRX_DECLARE_MEMBERS(AcDbBlockReference)

    AcDbBlockReference();
    AcDbBlockReference(const AcGePoint3d& position, AcDbObjectId block);

    // The referenced block, looked up by name in the entity's database.
    AcDbObjectId blockTableRecord() const;
    Acad::ErrorStatus setBlockTableRecord(AcDbObjectId block);
    AcGePoint3d position() const;
    Acad::ErrorStatus setPosition(const AcGePoint3d& position);
};

class AcDbPolyline : public AcDbEntity {
  public:
    ACRX_DECLARE_MEMBERS(AcDbPolyline)

    AcDbPolyline();

    unsigned int numVerts() const;
    bool isClosed() const;
    Acad::ErrorStatus setClosed(bool closed);
    // Inserts a vertex before `index` (numVerts() appends). A negative width means the
    // polyline's constant width.
    Acad::ErrorStatus addVertexAt(unsigned int index, const AcGePoint2d& point, double bulge = 0.0,
                                  double startWidth = -1.0, double endWidth = -1.0);
    Acad::ErrorStatus getPointAt(unsigned int index, AcGePoint2d& point) const;
    Acad::ErrorStatus getBulgeAt(unsigned int index, double& bulge) const;
    Acad::ErrorStatus getWidthsAt(unsigned int index, double& startWidth, double& endWidth) const;
};
