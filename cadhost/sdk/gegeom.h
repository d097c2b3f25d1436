#pragma once
// Plain points of the host's geometry library.

struct AcGePoint2d {
    double x = 0.0;
    double y = 0.0;

    AcGePoint2d() = default;
    AcGePoint2d(double px, double py) : x(px), y(py) {}
    bool operator==(const AcGePoint2d&) const = default;
    static const AcGePoint2d kOrigin;
};

struct AcGePoint3d {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;

    AcGePoint3d() = default;
    AcGePoint3d(double px, double py, double pz) : x(px), y(py), z(pz) {}
    bool operator==(const AcGePoint3d&) const = default;
    static const AcGePoint3d kOrigin;
};
