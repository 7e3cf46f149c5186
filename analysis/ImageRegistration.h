#pragma once
// Registration of drifted images: the edge image of an image (read through its
// registration shift), its binary image above a threshold, the normalised
// scalar product of a binary image against a reference under a trial shift,
// the hill climb over trial shifts, and the shift files (phase correlation is
// in PhaseCorrelation.h).
//
// Shift convention everywhere: a shift (sx, sy) moves an image so that its
// pixel (x - sx, y - sy) lands on (x, y) -- the same meaning as a TiffData
// registration shift, so a shift found here can be stored in the image as is.
#include <QImage>
#include <QString>
#include <QVector>
#include <cstdint>
#include <vector>

class TiffData;

// A grid of doubles with its extremes (the edge image).
struct EdgeImage {
    int width = 0;
    int height = 0;
    std::vector<double> values; // row-major
    double min = 0;
    double max = 0;
    bool isEmpty() const { return values.empty(); }
};

// A grid of 0/1 values with its extremes (binary and reference images). Bytes,
// not doubles: the score of a 2048 x 2048 pair reads 8 MB instead of 64 MB.
struct BinaryImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> values; // row-major, 0 or 1
    double min = 0;
    double max = 0;
    bool isEmpty() const { return values.empty(); }
    void clear() { *this = BinaryImage(); }
};

struct ClimbResult {
    int sx = 0;
    int sy = 0;
    double score = 0;
    int moves = 0;  // steps taken
    int scored = 0; // neighbour scores computed
};

namespace Registration {

enum class Comparable { Yes, NoBinary, NoReference, SizeMismatch };

// Edge value max(|Gx|, |Gy|) of every pixel of the image read through the
// shift (sx, sy), pixels outside reading 0:
//   Gx = P(x+1,y-1) + P(x+1,y) + P(x+1,y+1) - P(x-1,y-1) - P(x-1,y) - P(x-1,y+1)
//   Gy = P(x-1,y+1) + P(x,y+1) + P(x+1,y+1) - P(x-1,y-1) - P(x,y-1) - P(x+1,y-1)
// The storage of out is reused.
void edgeDetect(const TiffData &image, int sx, int sy, EdgeImage &out);
// The same through the image's own registration shift.
void edgeDetect(const TiffData &image, EdgeImage &out);

// binary(x, y) = 1 where edge(x, y) > threshold (strictly), else 0.
void binarize(const EdgeImage &edge, double threshold, BinaryImage &out);

// The threshold at a slider position 0..999: min + (max - min) * slider / 1000.
double thresholdAt(double min, double max, int slider);
// The slider position of a threshold, int((th - min) / (max - min) * 1000),
// kept in 0..999 (0 for an empty range or a threshold that is no number).
int sliderAt(double min, double max, double threshold);

// Whether a binary image can be scored against a reference, and the debug
// message when not ("no bin image", "no ref bin image", "size mis-match").
Comparable comparable(const BinaryImage &binary, const BinaryImage &reference);
QString message(Comparable c);

// Sum b*r / sqrt(sum b^2 * sum r^2) over the positions (k, j) where the
// shifted binary pixel (k - sx, j - sy) exists, b = binary(k - sx, j - sy),
// r = reference(k, j); 0 when the denominator is not positive. Both images
// must be comparable.
double score(const BinaryImage &binary, const BinaryImage &reference, int sx, int sy);

// Hill climb from (sx, sy) whose score is taken to be startScore: the eight
// neighbours (1,1), (1,0), (1,-1), (0,-1), (-1,-1), (-1,0), (-1,1), (0,1) are
// scored in this order, a neighbour replacing the best only with a strictly
// higher score; the climb moves to the best neighbour and repeats, and stops
// when none improved. maxShift >= 0 keeps |sx|, |sy| within it. Since every
// move raises the score and the score is 0 once the images no longer overlap,
// the climb always ends.
ClimbResult hillClimb(const BinaryImage &binary, const BinaryImage &reference, int sx, int sy,
                      double startScore, int maxShift = -1);

// The comparison picture (RGB32, reference size): where the shifted binary
// pixel exists red = 255 r, green = 255 b, else pure blue. Returns the score
// of the shift, computed in the same pass.
double comparisonPicture(const BinaryImage &binary, const BinaryImage &reference, int sx, int sy,
                         QImage &out);

// ---- shift files: one line per image, "index dx dy score" ----
// dx and dy are pixels, whole or with decimals (sub-pixel registration);
// files of whole pixels read as before.
struct ShiftEntry {
    int index = 0;
    double dx = 0;
    double dy = 0;
    double score = 0;
};
// False (with the reason) for a file that cannot be read or a malformed line
// (a shift that is no finite number or beyond +-TiffData::MaxShift included);
// lines that are empty or start with "#" are skipped.
bool readShiftFile(const QString &fileName, QVector<ShiftEntry> &out, QString *error);
bool writeShiftFile(const QString &fileName, const QVector<ShiftEntry> &entries);
// A shift in whole pixels, as the pixel readers apply it: rounded to the
// nearest pixel (halves away from 0).
int wholePixels(double shift);

} // namespace Registration
