#pragma once
// Reference spectra as users bring them: the layout is decided by the content,
// not the file name.
//
//  - the 9809 beamline format (monochromator angle and ion-chamber counts);
//  - the program's own spectrum file ("###Lumenstack::XafsSpectrum"): energy
//    and the double-normalised curve, columns 1 and 2;
//  - XDI ("# XDI/1.0" first line): columns named by "# Column.N: label [unit]".
//    mu is the "mutrans" or "mu" column, else ln(i0/itrans) (transmission),
//    else ifluor/i0 (fluorescence, "ifluor" or "iF"). The energy column is the
//    one labelled "energy", in eV or keV as its unit says;
//  - delimited text: whitespace-, tab-, comma- or semicolon-separated numbers
//    (with a decimal point), leading header lines and "#" comment lines
//    skipped. The first column is the energy. With two columns the second is
//    mu; with more the caller names the mu column, and the read fails asking
//    for it (needsColumn) until it does.
//
// Energies in keV are recognised: a keV label in XDI, a header label naming
// keV, or (without an eV label) every energy between 0.1 and 200 multiply
// the energies by 1000, and the result says so. Points that are not finite
// and lines whose column count differs from the first data line are skipped.
#include <QString>
#include <QStringList>

class XafsSpectrum;

class ReferenceFile {
public:
    enum class Layout { Unknown, Beamline9809, OwnSpectrum, Xdi, Delimited };

    struct Result {
        bool ok = false;
        // More than two numeric columns and no mu column given (or a column
        // the file does not have): the caller asks the user which one is mu.
        bool needsColumn = false;
        // Numeric columns of the data lines (0 when none was found).
        int columns = 0;
        // The column labels, when the header gives one per column.
        QStringList labels;
        bool energiesInKeV = false;
        Layout layout = Layout::Unknown;
        int points = 0;
        int skippedLines = 0;
        // Why the read failed; on success a note for the user (energies
        // taken as keV, lines skipped) or empty.
        QString message;
    };

    // Reads file into out (points only, not normalised). muColumn is the
    // 1-based column holding mu, 0 to decide from the layout. On failure out is
    // left as it was.
    static Result read(const QString &file, int muColumn, XafsSpectrum &out);

    static QString layoutName(Layout layout);

    // "FILE@COL" as the command line gives a reference: the file name, and
    // the 1-based mu column in *column (0 when the text does not end in "@"
    // and digits, so a file name may hold '@').
    static QString splitColumnSuffix(const QString &text, int *column);

    // Energies that all lie in this range (inclusive) are taken as keV.
    static constexpr double KeVLow = 0.1, KeVHigh = 200;
};
