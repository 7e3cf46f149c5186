#include "session/SessionDocument.h"

#include "analysis/CalibrationRun.h"
#include "analysis/DarkCheck.h"
#include "analysis/ImageRegistration.h"
#include "analysis/MapRunState.h"
#include "analysis/RunBoard.h"
#include "analysis/SeriesAlignRun.h"
#include "app/DebugLog.h"
#include "imageio/ErrPoints.h"
#include "imageio/Hdf5Probe.h"
#include "imageio/Hdf5Stack.h"
#include "imageio/TiffData.h"
#include "spectrum/SpectrumFile.h"

#include <QFileInfo>
#include <algorithm>
#include <utility>

namespace {

enum class StackDark { Read, NoneNamed, Failed };

// The dark image of an HDF5 stack as the layout describes it, into *dark,
// and the dataset it came from. Failures to read the layout, open the stack
// or read the image are logged (the readers name file and dataset).
StackDark readStackDark(const QString &file, const QString &layoutFile,
                        std::unique_ptr<TiffData> *dark, QString *dataset) {
    Hdf5Layout layout;
    QString why;
    if (!layout.read(layoutFile, &why)) {
        DebugLog::write(file + ": " + why);
        return StackDark::Failed;
    }
    // Opened in-process only once the probe has opened it unharmed.
    const QString refusal = Hdf5Probe::check(file, layoutFile);
    if (!refusal.isEmpty()) {
        DebugLog::write(refusal);
        return StackDark::Failed;
    }
    Hdf5Stack stack;
    if (!stack.open(file, layout))
        return StackDark::Failed;
    if (stack.count(Hdf5Stack::Dark) == 0)
        return StackDark::NoneNamed;
    auto image = std::make_unique<TiffData>();
    if (!stack.readImage(Hdf5Stack::Dark, 0, *image, ErrPoints::processWide()))
        return StackDark::Failed;
    *dark = std::move(image);
    *dataset = stack.datasetPath(Hdf5Stack::Dark);
    return StackDark::Read;
}

// A spectrum file that yields no points is no spectrum.
bool readSpectrum(const QString &fileName, XafsSpectrum &read) {
    return SpectrumFile::read(fileName, read) && !read.isEmpty();
}

} // namespace

SessionDocument::SessionDocument(QObject *parent)
    : QObject(parent), m_shiftMap(new Analyzed2DRes(QStringLiteral("a2d esm"), this)),
      m_inputs(new SessionInputs(this)), m_runs(new RunBoard(this)),
      m_mapRun(std::make_unique<MapRunState>()), m_calibration(std::make_unique<CalibrationRun>()),
      m_alignment(std::make_unique<SeriesAlignRun>()),
      m_darkCheck(std::make_unique<DarkCheckRun>()) {
    connect(m_runs, &RunBoard::runStarted, this, &SessionDocument::runStarted);
    connect(m_runs, &RunBoard::runFinished, this, &SessionDocument::runFinished);
}

SessionDocument::~SessionDocument() = default;

SessionDocument::StackSource SessionDocument::takeI1StackSource() {
    return std::exchange(m_i1StackSource, StackSource());
}

void SessionDocument::setCurrentPoint(const QPoint &p) {
    if (p == m_point)
        return;
    m_point = p;
    emit currentPointChanged(p);
}

// ---- the dark frame ----

QString SessionDocument::loadDark(const QString &fileName, const QString &stackLayout) {
    guardChange();
    QString why;
    if (!Hdf5Stack::isHdf5File(fileName)) {
        if (m_stack.loadDark(fileName, &why)) {
            m_darkFile = fileName;
            m_darkFromStack = false; // chosen by the user
            emit darkFrameChanged();
            emit darkChanged();
            return QString();
        }
    } else {
        std::unique_ptr<TiffData> dark;
        QString dataset;
        DebugLog::ThreadCapture reasons;
        switch (readStackDark(fileName, stackLayout, &dark, &dataset)) {
        case StackDark::Read:
            takeDark(std::move(dark), fileName, false); // chosen, from a stack file
            return QString();
        case StackDark::NoneNamed:
            why = QStringLiteral("the layout names no dark image");
            break;
        case StackDark::Failed:
            why = reasons.lines().join(QStringLiteral("; "));
            break;
        }
    }
    return tr("Dark frame not loaded from %1: %2. %3")
        .arg(QFileInfo(fileName).fileName(), why.isEmpty() ? tr("not a readable image") : why,
             m_stack.dark() ? tr("The dark frame in use stays.") : tr("No dark frame is in use."));
}

void SessionDocument::takeDark(std::unique_ptr<TiffData> dark, const QString &file,
                               bool fromStack) {
    m_stack.setDark(std::move(dark));
    m_darkFile = file;
    m_darkFromStack = fromStack;
    emit darkFrameChanged();
    emit darkChanged();
}

void SessionDocument::clearDark() {
    guardChange();
    m_stack.clearDark();
    m_darkFile.clear();
    emit darkFrameChanged();
    emit darkChanged();
}

bool SessionDocument::takeStackDark() {
    const StackSource source = takeI1StackSource();
    if (source.file.isEmpty() || m_stack.i1().isEmpty() || hasChosenDark())
        return false;
    std::unique_ptr<TiffData> dark;
    QString dataset;
    if (readStackDark(source.file, source.layout, &dark, &dataset) != StackDark::Read)
        return false;
    guardChange();
    takeDark(std::move(dark), source.file, true);
    DebugLog::write("Dark image taken from " + source.file + ":" + dataset);
    return true;
}

// ---- the dark areas ----

void SessionDocument::setDarkArea(Series s, const QRectF &area) {
    guardChange();
    const MuTConditions &c = m_inputs->conditions();
    m_stack.setDarkArea(s, area, s == Series::I1 ? c.i1ExpMs : c.i0ExpMs, c.darkExpMs);
    emit darkAreaChanged(s);
    emit darkChanged();
}

void SessionDocument::clearDarkArea(Series s) {
    guardChange();
    m_stack.clearDarkArea(s);
    emit darkAreaChanged(s);
    emit darkChanged();
}

// ---- spectra from files ----

QString SessionDocument::loadBackground(const QString &fileName, const SuggestElm &suggestion) {
    XafsSpectrum read;
    if (!readSpectrum(fileName, read))
        return tr("Background spectrum not read from %1: no spectrum in the file%2")
            .arg(QFileInfo(fileName).fileName(),
                 m_bgLoaded ? tr("; the one in use stays") : QString());
    m_bgLoaded = true;
    m_bgFile = fileName;
    m_bg.assign(read, QStringLiteral("BG"), 1, 0, suggestion);
    emit backgroundChanged();
    return QString();
}

void SessionDocument::clearBackground() {
    m_bgLoaded = false;
    m_bgFile.clear();
    emit backgroundChanged();
}

QString SessionDocument::loadTotalI0(Series s, const QString &fileName) {
    XafsSpectrum read;
    if (!readSpectrum(fileName, read))
        return tr("Total I0 not read from %1: no spectrum in the file; the one in use stays")
            .arg(QFileInfo(fileName).fileName());
    guardChange();
    (s == Series::I1 ? m_stack.totalI0OfI1() : m_stack.totalI0OfI0()) = read;
    m_totalI0Files[index(s)] = fileName;
    emit totalI0Changed(s);
    return QString();
}

void SessionDocument::clearTotalI0(Series s) {
    guardChange();
    (s == Series::I1 ? m_stack.totalI0OfI1() : m_stack.totalI0OfI0()).clear();
    m_totalI0Files[index(s)].clear();
    emit totalI0Changed(s);
}

void SessionDocument::setShiftMapValid(bool valid) {
    if (valid == m_shiftMapValid)
        return;
    m_shiftMapValid = valid;
    emit shiftMapChanged();
}

// ---- the energy-shift map ----

QString SessionDocument::readShiftMap(const QString &fileName, EmpFile::LoadOptions options) {
    DebugLog::write(QStringLiteral("loading emap ") + fileName);
    options.imagesLoaded = !m_stack.i1().isEmpty();
    options.imageWidth = m_stack.width();
    options.imageHeight = m_stack.height();
    guardChange();
    const QString name = m_shiftMap->name();
    DebugLog::ThreadCapture reasons;
    const EmpFile::LoadResult r = EmpFile::load(fileName, *m_shiftMap, options);
    if (!r.ok())
        return tr("Map not loaded from %1: %2; the map in use stays")
            .arg(QFileInfo(fileName).fileName(), reasons.lines().join(QStringLiteral("; ")));
    m_shiftMap->setName(name);
    const EMPHeader &h = r.header;
    m_shiftMapOrigin = QPoint(h.xOffset, h.yOffset);
    m_shiftMapFileEnergy = options.edgeEnergy > 0 ? options.edgeEnergy : h.stdEdgeEnergy;
    m_shiftMapValid = true;
    m_shiftMapFile = fileName;
    emit shiftMapRead(fileName, h);
    emit shiftMapChanged();
    return QString();
}

void SessionDocument::clearShiftMap() {
    guardChange();
    m_shiftMap->clear();
    m_shiftMapValid = false;
    m_shiftMapOrigin = QPoint();
    m_shiftMapFile.clear();
    emit shiftMapChanged();
}

// ---- the registration shifts ----

UserMessage SessionDocument::loadShifts(const QString &fileName) {
    const QString name = QFileInfo(fileName).fileName();
    QVector<Registration::ShiftEntry> entries;
    QString why;
    if (!Registration::readShiftFile(fileName, entries, &why))
        return {QDateTime(), UserMessage::Level::Refusal,
                tr("Shifts not loaded from %1: %2; the shifts in use stay").arg(name, why)};
    guardChange();
    int applied = 0, beyond = 0;
    for (const Registration::ShiftEntry &e : entries) {
        if (e.index < 0 || e.index >= m_stack.i1().size()) {
            ++beyond;
            continue;
        }
        m_stack.setImageShift(Series::I1, e.index, e.dx, e.dy);
        ++applied;
    }
    emit shiftsChanged();
    QString text = tr("%1 shifts loaded from %2").arg(applied).arg(name);
    if (beyond == 0)
        return {QDateTime(), UserMessage::Level::Info, text};
    text += tr("; %1 for images the series does not have, left out").arg(beyond);
    return {QDateTime(), UserMessage::Level::Warning, text};
}

bool SessionDocument::clearShifts() {
    const QVector<TiffData *> &images = m_stack.i1();
    const bool any = std::any_of(images.cbegin(), images.cend(), [](const TiffData *t) {
        return t->shiftDX() != 0 || t->shiftDY() != 0;
    });
    if (!any)
        return false;
    guardChange();
    for (int i = 0; i < images.size(); ++i)
        m_stack.setImageShift(Series::I1, i, 0, 0);
    emit shiftsChanged();
    return true;
}

bool SessionDocument::saveShifts(const QString &fileName) const {
    QVector<Registration::ShiftEntry> entries;
    const QVector<TiffData *> &images = m_stack.i1();
    for (int i = 0; i < images.size(); ++i)
        entries.append({i, images.at(i)->shiftDX(), images.at(i)->shiftDY(), 1.0});
    return Registration::writeShiftFile(fileName, entries);
}

bool SessionDocument::setImageShift(Series s, int index, double dx, double dy) {
    const QVector<TiffData *> &images = m_stack.images(s);
    if (index < 0 || index >= images.size())
        return false;
    const TiffData *image = images.at(index);
    if (image->shiftDX() == dx && image->shiftDY() == dy)
        return false;
    guardChange(); // a map run reads the shifts
    m_stack.setImageShift(s, index, dx, dy);
    emit shiftsChanged();
    return true;
}

ShiftMapView SessionDocument::shiftMapInUse() const {
    return shiftMapView(m_shiftMap, m_shiftMapValid, m_shiftMapOrigin.x(), m_shiftMapOrigin.y());
}

bool SessionDocument::takeReferenceSuggestion(const SuggestElm &s, double from, double to) {
    if (m_referenceSuggestionSet && s == m_referenceSuggestion && from == m_referenceFrom &&
        to == m_referenceTo)
        return false;
    m_referenceSuggestion = s;
    m_referenceFrom = from;
    m_referenceTo = to;
    m_referenceSuggestionSet = true;
    emit referenceSuggestionChanged();
    return true;
}

void SessionDocument::addFailure(const QString &text) {
    m_failures << text;
    emit failureAdded(text);
}

QStringList SessionDocument::unsaidSeriesMismatch() {
    const QStringList problems =
        m_inputs->conditions().useI0 ? m_stack.i0Mismatch() : QStringList();
    QStringList unsaid;
    for (const QString &p : problems)
        if (!m_saidMismatch.contains(p))
            unsaid << p;
    m_saidMismatch = problems;
    return unsaid;
}

SeriesAlignment::Outcome SessionDocument::applyAlignment() {
    guardChange();
    const SeriesAlignment::Outcome o =
        SeriesAlignment::apply(m_stack, m_alignment->shifts(), m_alignmentAlsoI0);
    emit shiftsChanged();
    return o;
}
