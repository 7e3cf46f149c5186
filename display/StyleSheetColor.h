#pragma once
// Dims or highlights a coloured button by scaling the background colour of its
// style sheet ("background-color: rgb(r, g, b)").
#include <QString>

class StyleSheetColor {
public:
    // Returns sheet with every component of its background colour multiplied
    // by factor and clamped to 0..255, written back as
    // "background-color: rgb(r,g,b);". A sheet without such a colour comes
    // back unchanged.
    static QString scaled(const QString &sheet, double factor);
};
