// Saving results from the main window: the result images of the reference
// rows, the shown result map as 16-bit TIFF or text (as the save-data
// configuration chooses), and the spectra of every bin of the area as
// spectrum sets. The writers are in the core (analysis/MapExport.h).
#include "mainwindow/widgets/BodyAnalysisState.h"

#include "analysis/Analyzed2DRes.h"
#include "analysis/MapExport.h"
#include "analysis/Provenance.h"
#include "analysis/widgets/Analyzer.h"
#include "analysis/widgets/LCFReference.h"
#include "analysis/widgets/XafsFileSelect.h"
#include "app/AppSettings.h"
#include "app/DebugLog.h"
#include "app/UserMessages.h"
#include "batch/widgets/BatchCtrl.h"
#include "display/PictureFile.h"
#include "display/TaggedFileName.h"
#include "display/widgets/ColorBar.h"
#include "display/widgets/SaveDataCfg.h"
#include "display/widgets/SpectrumView.h"
#include "render/MapPicture.h"
#include "ui_Body.h"

#include <QFileDialog>
#include <QFileInfo>
#include <algorithm>

namespace {

QFileDialog *saveDialog(QWidget *parent, const QStringList &filters) {
    auto *d = new QFileDialog(parent);
    d->setOption(QFileDialog::DontUseNativeDialog, true);
    d->setFileMode(QFileDialog::AnyFile);
    d->setAcceptMode(QFileDialog::AcceptSave);
    d->setDirectory(AppSettings::dataRoot());
    d->setNameFilters(filters);
    return d;
}

} // namespace

SaveDataCfg *Body::saveDataCfg() const {
    return m_analysis->saveDataCfg;
}

void Body::setupExport() {
    AnalysisState &st = *m_analysis;
    st.saveDataCfg = new SaveDataCfg(this);
    st.saveDataCfg->setWindowFlag(Qt::Window);
    st.dataDialog = saveDialog(this, {});
    st.dataDialog->setObjectName(QStringLiteral("SaveDataDialog"));
    st.spectraDialog = saveDialog(this, {tr("XAFS Spectra (*.dat)"), tr("Any Files (* *.*)")});
    connect(ui->SaveDataCfgB, &QPushButton::clicked, st.saveDataCfg, &SaveDataCfg::show);
    connect(ui->SaveData, &QPushButton::clicked, this, &Body::showSaveDataDialog);
    connect(st.dataDialog, &QFileDialog::fileSelected, this, &Body::saveData);
    connect(ui->SaveEachSpectrum, &QPushButton::clicked, st.spectraDialog, &QFileDialog::show);
    auto *mapPictureDialog = saveDialog(this, {tr("Image File (*.png)"), tr("Any Files (* *.*)")});
    connect(ui->SaveMapPicture, &QPushButton::clicked, mapPictureDialog, &QFileDialog::show);
    connect(mapPictureDialog, &QFileDialog::fileSelected, this, &Body::saveMapPicture);
    connect(st.spectraDialog, &QFileDialog::fileSelected, this, &Body::saveEachSpectrum);
    connect(analyzer(), &Analyzer::componentSpectrumSaved, this,
            [this](const QString &file) { writeProvenance(file); });
    for (SpectrumView *view : {m_xafsView, m_bgView})
        connect(view, &SpectrumView::spectraSaved, this, [this](const QStringList &files) {
            for (const QString &file : files)
                writeProvenance(file);
        });
}

// ------------------------------------------------------------------ maps

void Body::saveAllImages(const QString &fname) {
    const QVector<LCFReference *> &rows = analyzer()->references();
    for (int a = 0; a < analyzer()->numberOfResults(); ++a)
        for (int i = 0; i < rows.size(); ++i) {
            if (!rows.at(i)->isInUse())
                continue;
            const Analyzed2DRes *map = rows.at(i)->map(a);
            if (!map->isFilled())
                continue;
            writeMapPicture(*map, taggedFileName(fname, QStringLiteral("%1-%2").arg(i).arg(a)));
        }
    // The fit-quality maps of the last LCF/MLCF run.
    for (const Analyzed2DRes *quality : {analyzer()->rFactorMap(), analyzer()->chi2Map()})
        if (quality->isFilled())
            writeMapPicture(*quality, taggedFileName(fname, quality == analyzer()->chi2Map()
                                                                ? QStringLiteral("chi2")
                                                                : QStringLiteral("rfactor")));
}

void Body::writeMapPicture(const Analyzed2DRes &map, const QString &fname) {
    if (reportIfNotWritten(writePicture(mapPicture(map).image, fname), pictureFileName(fname)))
        writeProvenance(map, pictureFileName(fname), {});
}

void Body::showSaveDataDialog() {
    const QString data =
        saveDataCfg()->saveAsTiff() ? tr("Tiff File (*.tif)") : tr("Data File (*.dat)");
    m_analysis->dataDialog->setNameFilters({data, tr("Any Files (* *.*)")});
    m_analysis->dataDialog->show();
}

void Body::saveData(const QString &fname) {
    const int n = std::max(0, analyzer()->selectedReference());
    if (saveDataCfg()->saveAsTiff()) {
        DebugLog::write(QStringLiteral("selected tiff"));
        saveDataAsTiff(fname, n);
        const QString numbered = taggedFileName(fname, QString::number(n));
        const QString bar = taggedFileName(numbered, QStringLiteral("-cBar"));
        reportIfNotWritten(writePicture(ui->CBar->picture(), bar), pictureFileName(bar));
    } else {
        DebugLog::write(QStringLiteral("selected text"));
        saveDataAsText(fname, n);
    }
}

void Body::saveDataAsTiff(const QString &fname, int n) {
    const QString path = numberedDataFileName(fname, n, QStringLiteral("tif"));
    DebugLog::write(QStringLiteral("saveDataAsTiff"));
    Analyzed2DRes *map = analyzer()->selectedMap();
    if (!map) {
        UserMessages::refuse(tr("No map to save: run an analysis or choose a map first"));
        return;
    }
    reportChangedName(fname, path);
    const SaveDataCfg *cfg = saveDataCfg();
    bool written = false;
    if (cfg->tiffAsFloat()) {
        written = reportIfNotWritten(writeMapFloatTiff(*map, path, provenance(*map)), path);
    } else {
        MapTiffOptions options;
        options.fixedScale = cfg->tiffFixedScale();
        options.scaleMin = cfg->tiffScaleMin();
        options.scaleMax = cfg->tiffScaleMax();
        options.asAnalyzed = cfg->tiffAsAnalyzed();
        written = reportIfNotWritten(writeMapTiff(*map, path, options), path);
    }
    if (written)
        writeProvenance(*map, path, {});
}

// What the window's saves were made from: the stack, the conditions, the
// reference rows and the fit (analysis/Provenance.h).
QJsonObject Body::provenance() {
    ProvenanceInputs in;
    in.program = QStringLiteral("lumenstack");
    takeStackInputs(stack(), &in);
    in.conditions = muTConditions();
    in.victoreen = targetBackgroundSimple() != 1;
    in.suggestion = suggestElm();
    Analyzer *a = analyzer();
    for (const LCFReference *r : a->references())
        in.references.append(
            {r->fileSelect()->fileName(), r->deltaE(), r->spectrum().simple() == 0, r->isInUse()});
    in.lcfKind = m_doc->inputs().analysis().kind;
    in.options = m_doc->inputs().analysis().options;
    in.shiftMapInUse = m_doc->shiftMapValid();
    in.shiftMapFile = shiftMapFile();
    return provenanceJson(in, QDateTime::currentDateTime());
}

QJsonObject Body::provenance(const Analyzed2DRes &map) {
    QJsonObject o = provenance();
    o.insert(QStringLiteral("title"), analyzer()->mapTitle(&map));
    return o;
}

// Beside every map saved: what it was made from (FILE.json).
void Body::writeProvenance(const Analyzed2DRes &map, const QString &path,
                           const QStringList &columns) {
    reportIfNotWritten(writeMapSidecar(map, path, columns, provenance(map)),
                       path + QStringLiteral(".json"));
}

// Beside a saved file that is no map (spectra, pictures, shifts).
void Body::writeProvenance(const QString &path) {
    reportIfNotWritten(writeSidecar(path, provenance()), path + QStringLiteral(".json"));
}

// The text keeps its layout (other programs read it); what the numbers are
// goes into a JSON file beside it.
void Body::saveDataAsText(const QString &fname, int n) {
    const QString path = numberedDataFileName(fname, n, QStringLiteral("dat"));
    const Analyzed2DRes *map = analyzer()->selectedMap();
    if (!map) {
        UserMessages::refuse(tr("No map to save: run an analysis or choose a map first"));
        return;
    }
    reportChangedName(fname, path);
    const bool xyVal = saveDataCfg()->textXYVal();
    if (!reportIfNotWritten(map->writeText(path, saveDataCfg()->textCommaSeparated(), xyVal), path))
        return;
    const QStringList columns = xyVal ? QStringList{"X", "Y", mapUnits(map->name())}
                                      : QStringList{"one line of values per row of bins"};
    writeProvenance(*map, path, columns);
}

void Body::reportChangedName(const QString &chosen, const QString &written) {
    if (QFileInfo(chosen).fileName() != QFileInfo(written).fileName())
        UserMessages::info(tr("Saved as %1 (the map's number and the format's suffix added to %2)")
                               .arg(QFileInfo(written).fileName(), QFileInfo(chosen).fileName()));
}

// The map alone at its own resolution, one pixel a cell, without the cursor.
void Body::saveMapPicture(const QString &fname) {
    const Analyzed2DRes *map = analyzer()->selectedMap();
    if (!map || !map->isFilled()) {
        UserMessages::refuse(tr("No map to save: run an analysis or choose a map first"));
        return;
    }
    writeMapPicture(*map, fname);
}

// ------------------------------------------------------------------ spectra

void Body::saveEachSpectrum(const QString &fname) {
    if (ui->SaveAsNormalizedXAFS->isChecked())
        saveEachNormalizedXafsSpectrum(fname);
    else if (ui->SaveAsRawXAFS->isChecked())
        saveEachRawXafsSpectrum(fname);
    else if (ui->SaveAsRaw->isChecked())
        saveEachRawSpectrum(fname);
}

void Body::saveSpectrumSet(const QString &fname, int kind) {
    AnalyzeCond grid;
    if (!analysisGrid(grid) || fixedEdgeRefused(QStringLiteral("Spectra not saved")))
        return;
    if (reportIfNotWritten(
            writeSpectrumSet(fname, SpectrumSetKind(kind), grid, stack(), binSpectrumSettings()),
            fname))
        writeProvenance(fileNameWithDefaultSuffix(fname, QStringLiteral("dat")));
}

// Saves are atomic (OutputFile): a failed one leaves the old file. The batch
// log says so, for the user at the window and for a batch run alike.
bool Body::reportIfNotWritten(bool ok, const QString &fileName) {
    if (!ok)
        UserMessages::error(QStringLiteral("can not write %1").arg(fileName));
    return ok;
}

void Body::saveEachNormalizedXafsSpectrum(const QString &fname) {
    saveSpectrumSet(fname, int(SpectrumSetKind::NormalizedXafs));
}

void Body::saveEachRawXafsSpectrum(const QString &fname) {
    saveSpectrumSet(fname, int(SpectrumSetKind::RawXafs));
}

void Body::saveEachRawSpectrum(const QString &fname) {
    saveSpectrumSet(fname, int(SpectrumSetKind::Raw));
}
