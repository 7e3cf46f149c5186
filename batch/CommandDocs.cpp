#include "batch/CommandDocs.h"

#include <QHash>
#include <QStringList>

namespace CommandDocs {

namespace {

using C = Completion;

const char *const Series = "Series files and loading";
const char *const Energy = "Energy of the files";
const char *const Display = "Main window display and saving";
const char *const Analysis = "Analysis panel";
const char *const Calib = "Energy calibration";
const char *const SaveCfg = "Save-data configuration";
const char *const Suggest = "Element and edge suggestion";
const char *const Sessions = "Sessions";
const char *const Other = "Other";

// In the order of the reference; each entry names the section it is listed in.
const QVector<CommandDoc> &table() {
    static const QVector<CommandDoc> docs = {
        {CLEAR_I1_FILES, Series, "none", "Empties the I1 series and its file list.", C::AtOnce},
        {CLEAR_I0_FILES, Series, "none", "Empties the I0 series and its file list.", C::AtOnce},
        {SET_I1_ENERGY_PATTERN, Series, "pattern",
         "Sets the regular expression that finds the energy in I1 file names.", C::AtOnce},
        {SET_I0_ENERGY_PATTERN, Series, "pattern",
         "Sets the regular expression that finds the energy in I0 file names.", C::AtOnce},
        {LOAD_I1_FILES, Series, "NEW, file ...",
         "Loads the files into the I1 series; NEW (any case) replaces the series, anything else "
         "adds to it. Without files nothing happens.",
         C::LoadEnds},
        {LOAD_I0_FILES, Series, "NEW, file ...", "As load_I1_files, for the I0 series.",
         C::LoadEnds},
        {LOAD_I1_FILES_OF_PATTERN, Series, "NEW, folder, filter ...",
         "Loads the files of the folder (which must end with a separator) matching the wildcard "
         "filters into the I1 series.",
         C::LoadEnds},
        {LOAD_I0_FILES_OF_PATTERN, Series, "NEW, folder, filter ...",
         "As load_I1_files_of_pattern, for the I0 series.", C::LoadEnds},
        {CUT_F_I0, Series, "integer", "Number of files left out at the start of an I0 load.",
         C::AtOnce},
        {CUT_F_I1, Series, "integer", "Number of files left out at the start of an I1 load.",
         C::AtOnce},
        {CUT_L_I0, Series, "integer", "Number of files left out at the end of an I0 load.",
         C::AtOnce},
        {CUT_L_I1, Series, "integer", "Number of files left out at the end of an I1 load.",
         C::AtOnce},
        {SKIP_I0, Series, "integer", "An I0 load reads every n-th file.", C::AtOnce},
        {SKIP_I1, Series, "integer", "An I1 load reads every n-th file.", C::AtOnce},
        {SHOW_LATEST_I0, Series, "flag", "Shows each I0 image as it arrives.", C::AtOnce},
        {SHOW_LATEST_I1, Series, "flag", "Shows each I1 image as it arrives.", C::AtOnce},
        {USE_I0, Series, "flag", "Divides by the I0 series (check box Use I0).", C::AtOnce},
        {SET_I0_DARK_AREA, Series, "none",
         "The selected area becomes the dark area of the I0 series.", C::AtOnce},
        {SET_I1_DARK_AREA, Series, "none",
         "The selected area becomes the dark area of the I1 series.", C::AtOnce},
        {CLEAR_I0_DARK_AREA, Series, "none", "Switches the I0 dark area off.", C::AtOnce},
        {CLEAR_I1_DARK_AREA, Series, "none", "Switches the I1 dark area off.", C::AtOnce},
        {LOAD_DARK, Series, "file",
         "Reads the dark frame (an image, or the dark of an HDF5 stack by the I1 layout) as "
         "Select Dark does; its exposure goes into the dark exposure field. A file that cannot "
         "be read is refused with the reason and the dark frame in use stays.",
         C::AtOnce},
        {CLEAR_DARK, Series, "none", "No dark frame is subtracted any more (Clear Dark).",
         C::AtOnce},
        {SET_DARK_EXP_TIME, Series, "number",
         "Exposure of the dark frame in ms, by which it is scaled to each image's exposure.",
         C::AtOnce},
        {LOAD_TOTAL_I0_OF_I1, Series, "file",
         "Reads the total-I0 spectrum of the I1 series (Total I0 of I1); a file without a "
         "spectrum is refused and the one in use stays.",
         C::AtOnce},
        {LOAD_TOTAL_I0_OF_I0, Series, "file", "As load_total_i0_of_i1, for the I0 series.",
         C::AtOnce},
        {CLEAR_TOTAL_I0_OF_I1, Series, "none", "The I1 series has no total-I0 spectrum.",
         C::AtOnce},
        {CLEAR_TOTAL_I0_OF_I0, Series, "none", "The I0 series has no total-I0 spectrum.",
         C::AtOnce},

        {ENG_BY_NAME_I0, Energy, "none", "I0 energies are read from the file names.", C::AtOnce},
        {ENG_BY_NAME_I1, Energy, "none", "I1 energies are read from the file names.", C::AtOnce},
        {ENG_BY_NAME_REG_EXP_I0, Energy, "pattern", "I0 file-name pattern (factor unchanged).",
         C::AtOnce},
        {ENG_BY_NAME_REG_EXP_I1, Energy, "pattern", "I1 file-name pattern (factor unchanged).",
         C::AtOnce},
        {ENG_BY_NAME_FACTOR_I0, Energy, "number",
         "Factor applied to the number found in I0 file names.", C::AtOnce},
        {ENG_BY_NAME_FACTOR_I1, Energy, "number",
         "Factor applied to the number found in I1 file names.", C::AtOnce},
        {ENG_BY_CALC_I0, Energy, "flag", "I0 energies are calculated from the file number.",
         C::AtOnce},
        {ENG_BY_CALC_I1, Energy, "flag", "I1 energies are calculated from the file number.",
         C::AtOnce},
        {ENG_CALC_BASE_I0, Energy, "number (eV)", "I0 start energy; the end is recomputed.",
         C::AtOnce},
        {ENG_CALC_BASE_I1, Energy, "number (eV)", "I1 start energy; the end is recomputed.",
         C::AtOnce},
        {ENG_CALC_DELTA_I0, Energy, "number", "I0 step; the end is recomputed.", C::AtOnce},
        {ENG_CALC_DELTA_I1, Energy, "number", "I1 step; the end is recomputed.", C::AtOnce},
        {ENG_CALC_END_I0, Energy, "number", "I0 end; the step is recomputed.", C::AtOnce},
        {ENG_CALC_END_I1, Energy, "number", "I1 end; the step is recomputed.", C::AtOnce},
        {ENG_CALC_NUM_I0, Energy, "integer", "Number of I0 points; the step is recomputed.",
         C::AtOnce},
        {ENG_CALC_NUM_I1, Energy, "integer", "Number of I1 points; the step is recomputed.",
         C::AtOnce},
        {ENG_CALC_EVEN_IN_ENG_I0, Energy, "flag", "I0 points evenly spaced in energy.", C::AtOnce},
        {ENG_CALC_EVEN_IN_ENG_I1, Energy, "flag", "I1 points evenly spaced in energy.", C::AtOnce},
        {ENG_CALC_EVEN_IN_DEG_I0, Energy, "flag", "I0 points evenly spaced in monochromator angle.",
         C::AtOnce},
        {ENG_CALC_EVEN_IN_DEG_I1, Energy, "flag", "I1 points evenly spaced in monochromator angle.",
         C::AtOnce},
        {ENG_CALC_DISP_UNIT_I0, Energy, "integer", "Display unit index of the I0 energy panel.",
         C::AtOnce},
        {ENG_CALC_DISP_UNIT_I1, Energy, "integer", "Display unit index of the I1 energy panel.",
         C::AtOnce},
        {ENG_BY_REF_I0, Energy, "file",
         "I0 energies from a reference file; an empty name switches it off.", C::AtOnce},
        {ENG_BY_REF_I1, Energy, "file",
         "I1 energies from a reference file; an empty name switches it off.", C::AtOnce},
        {ENG_SAME_AS_I1_I0, Energy, "flag",
         "The I0 series takes its energies from the I1 setup (box Same as I1); any eng_ "
         "command of the I0 series unticks it again.",
         C::AtOnce},

        {SET_FLUO_TYPE, Display, "flag", "Fluorescence mode (mu = I1 / I0).", C::AtOnce},
        {SET_BAND_W, Display, "integer", "Bin half-width in x (pixels).", C::AtOnce},
        {SET_BAND_H, Display, "integer", "Bin half-height in y (pixels).", C::AtOnce},
        {SELECT_DISP_IMAGE, Display, "integer n",
         "What the image shows: 0 I1 data, 1 I0, 2 energy-shift map, 3 result map.", C::AtOnce},
        {SEEK_IMAGE, Display, "integer", "Shows image number n of the shown series.", C::AtOnce},
        {SAVE_IMAGE, Display, "file",
         "Saves the picture on display (PNG) and its colour bar (tag cBar).", C::AtOnce},
        {SAVE_IMAGE_W_NUM, Display, "file, number text",
         "As save_image, with the number as a tag of the file name.", C::AtOnce},
        {SAVE_ALL_IMAGES, Display, "file", "Saves every image of the shown series, numbered.",
         C::AtOnce},
        {SAVE_DATA, Display, "file",
         "Saves the shown map as TIFF or text, as the save-data configuration says.", C::AtOnce},
        {SAVE_DATA_AS_TIFF, Display, "file",
         "Saves the shown map as 16-bit TIFF, tagged with the first shown reference row.",
         C::AtOnce},
        {MOVE_POSITION, Display, "integer x, integer y",
         "Moves the current point to (x, y); the spectrum there is shown.", C::AtOnce},
        {SAVE_SPECTRA, Display, "file",
         "The spectrum view writes its spectra (tags T, std, otherN).", C::AtOnce},
        {CBAR_SET_RANGE, Display, "number min, number max", "Sets the colour bar's range.",
         C::AtOnce},
        {CBAR_SET_ALL, Display, "none", "Redraws the shown images with the colour bar.", C::AtOnce},
        {SELECT_REGION, Display, "integer x0, y0, x1, y1",
         "Selects the area from (x0, y0) to (x1, y1).", C::AtOnce},
        {SCALE_RESET, Display, "none", "Shows the whole image.", C::AtOnce},
        {ZOOM_IN, Display, "none", "Zooms to the selected area.", C::AtOnce},
        {XAFS_VIEW_NORMALIZE, Display, "flag", "Spectrum view: normalised curves.", C::AtOnce},
        {XAFS_VIEW_ENERUGY_CORRECTION, Display, "flag",
         "Spectrum view: energies corrected by the shift map.", C::AtOnce},

        {ANALYZER_SHOW_WINDOW, Analysis, "none", "Shows the analysis panel and its view.",
         C::AtOnce},
        {ANALYZER_SET_LCF_STD, Analysis, "integer row, flag use, number dE, file, [victoreen]",
         "Sets reference row: use, energy shift dE, spectrum file; Victoreen background unless "
         "the fifth argument is given and is neither VIC nor above 0.",
         C::AtOnce},
        {ANALYZER_SET_LCF_MODE, Analysis, "flag", "MLCF (absolute edge jumps) instead of LCF.",
         C::AtOnce},
        {ANALYZER_SET_LCF_OLD, Analysis, "flag",
         "LCF as old (box LCF as old): the fit of the earlier versions; MLCF, when set, comes "
         "first.",
         C::AtOnce},
        {ANALYZER_SET_LCF_RANGE, Analysis, "number start, number end",
         "The energy range of the fit (eV), the start below the end.", C::AtOnce},
        {ANALYZER_CLEAR_LCF_STD, Analysis, "integer row",
         "Empties reference row ROW (from 0); -1 empties every row.", C::AtOnce},
        {LOAD_BG, Analysis, "file",
         "Reads the background spectrum (Select BG) and shows it; a file without a spectrum is "
         "refused and the one in use stays.",
         C::AtOnce},
        {CLEAR_BG, Analysis, "none", "No background spectrum is used any more.", C::AtOnce},
        {ANALYZER_EXEC_LCF, Analysis, "none",
         "Fits every bin of the selected area with the references.", C::RunEnds},
        {ANALYZER_SELECT_IMAGE, Analysis, "integer n", "Shows result image n.", C::AtOnce},
        {ANALYZER_SELECT_IMAGE_TYPE, Analysis, "integer", "0 fraction (ratio), 1 amount (dMut).",
         C::AtOnce},
        {ANALYZER_SET_RA_ENERGY, Analysis, "number (eV)", "Energy of the residual absorption.",
         C::AtOnce},
        {ANALYZER_SET_RA_FACTOR, Analysis, "number", "Factor of the residual absorption.",
         C::AtOnce},
        {ANALYZER_EXEC_RA, Analysis, "none", "Residual-absorption map run.", C::RunEnds},
        {ANALYZER_SET_FIXED_SCALE, Analysis, "flag", "Result maps on a fixed scale.", C::AtOnce},
        {ANALYZER_SET_SCALE_MAX, Analysis, "number", "Upper end of both fixed scales.", C::AtOnce},
        {ANALYZER_SET_SCALE_MIN, Analysis, "number", "Lower end of both fixed scales.", C::AtOnce},
        {ANALYZER_SET_DMUT_SCALE_MAX, Analysis, "number", "Upper end of the amount scale.",
         C::AtOnce},
        {ANALYZER_SET_DMUT_SCALE_MIN, Analysis, "number", "Lower end of the amount scale.",
         C::AtOnce},
        {ANALYZER_SET_RATIO_SCALE_MAX, Analysis, "number", "Upper end of the fraction scale.",
         C::AtOnce},
        {ANALYZER_SET_RATIO_SCALE_MIN, Analysis, "number", "Lower end of the fraction scale.",
         C::AtOnce},
        {ANALYZER_VIEW_NORMALIZE, Analysis, "flag", "Analysis view: normalised curves.", C::AtOnce},
        {ANALYZER_VIEW_ENERUGY_CORRECTION, Analysis, "flag",
         "Analysis view: energies corrected by the shift map.", C::AtOnce},
        {ANALYZER_TARGET_ELEMENTS, Analysis, "text",
         "Elements of the element analysis, e.g. \"Fe Ni-K Pb-L3\".", C::AtOnce},
        {ANALYZER_SELECT_ANALYSIS_MODE, Analysis, "integer",
         "0 LCF/MLCF, 1 residual absorption, 2 elements, 3 sum-up, 4 map processing.", C::AtOnce},
        {ANALYZER_ELEMS_SELECT_TARGET, Analysis, "element",
         "Selects the element row of that name in the target list and shows its map.", C::AtOnce},
        {ANALYZER_ELEMS_SELECT_SHOW, Analysis, "element",
         "Selects the element row of that name in the list shown and shows its map.", C::AtOnce},
        {ANALYZER_ELEMS_SET_DEVS, Analysis, "number", "Energy offset of every element row.",
         C::AtOnce},
        {ANALYZER_ELEMS_SET_CORR_TH, Analysis, "number", "Correlation threshold.", C::AtOnce},
        {ANALYZER_ELEMS_SELECT_DISP_MODE, Analysis, "integer",
         "Element map shown: 0 dMut, 1 dMut normalised, 2 correlation, 3 correlation over the "
         "threshold, 4 mu+, 5 mu-, 6 dE, 7 ROI, 8 NROI.",
         C::AtOnce},
        {ANALYZER_ELEMS_SET_USE, Analysis, "element, flag", "Uses the element row or not.",
         C::AtOnce},
        {ANALYZER_ELEMS_SORT_BY_AN, Analysis, "flag", "Sorts the element rows by atomic number.",
         C::AtOnce},
        {ANALYZER_ELEMS_ROI, Analysis, "element, number a, number b",
         "Region of interest of the element row.", C::AtOnce},
        {ANALYZER_ELEMS_THDMUT, Analysis, "element, number",
         "Edge-jump threshold of the element row.", C::AtOnce},
        {ANALYZER_ELEMS_NO_NEG, Analysis, "element, flag", "No negative jumps for the element.",
         C::AtOnce},
        {ANALYZER_ELEMS_BG_DMUT, Analysis, "any, number", "Background conditions: dMut.",
         C::AtOnce},
        {ANALYZER_ELEMS_BG_DMUTR, Analysis, "any, number", "Background conditions: dMutR.",
         C::AtOnce},
        {ANALYZER_ELEMS_BG_DE, Analysis, "any, number", "Background conditions: dE.", C::AtOnce},
        {ANALYZER_ELEMS_BG_ROI, Analysis, "any, number", "Background conditions: ROI.", C::AtOnce},
        {ANALYZER_ELEMS_BG_NROI, Analysis, "any, number", "Background conditions: NROI.",
         C::AtOnce},
        {ANALYZER_EXEC_ELEMS, Analysis, "none", "Element map run.", C::RunEnds},
        {ANALYZER_SET_LCF_NONNEG, Analysis, "flag",
         "Fit option Non-negative: no LCF fraction (MLCF jump) below 0.", C::AtOnce},
        {ANALYZER_SET_LCF_SUM1, Analysis, "flag",
         "Fit option Sum to 1: the LCF fractions add up to 1 (MLCF shares do anyway).", C::AtOnce},
        {ANALYZER_SET_FIXED_E0, Analysis, "flag, [number or auto]",
         "Fit option Fixed E0: every spectrum is normalised with this edge energy (eV) instead "
         "of its own edge search; auto takes the midpoint energy of the summed spectrum of the "
         "area. An E0 outside the measured energies is reported as an error and runs refuse it.",
         C::AtOnce},
        {ANALYZER_SELECT_SIGMA_IMAGE, Analysis, "none",
         "Shows the standard-error map of the selected reference row (R-factor and reduced "
         "chi2: analyzer_select_image 1000 and 1001).",
         C::AtOnce},
        {COMPONENTS_SET_RANGE, Analysis, "number S, number E",
         "Components: the energies (eV) from S to E make up each bin's normalised spectrum.",
         C::AtOnce},
        {COMPONENTS_SET_COUNT, Analysis, "integer N",
         "Components: principal components kept (1 to 1000); k-means clusters on their scores.",
         C::AtOnce},
        {COMPONENTS_EXEC_PCA, Analysis, "none",
         "Principal components of the bins' normalised spectra over the selected area (bins "
         "without an edge are left out, -1): one score map per component, the explained "
         "variance in the scree plot.",
         C::RunEnds},
        {COMPONENTS_EXEC_CLUSTERS, Analysis, "integer K",
         "K-means with K clusters on the first N principal component scores (k-means++ from "
         "the panel's seed): the cluster map (0 to K-1, -1 left out) and each cluster's mean "
         "normalised spectrum.",
         C::RunEnds},
        {COMPONENTS_EXEC_NMF, Analysis, "integer K",
         "Non-negative factorisation of the normalised spectra into K components: their "
         "spectra and one weight map each.",
         C::RunEnds},
        {COMPONENTS_SELECT_MAP, Analysis, "KIND, integer J",
         "Shows a map of the last components run: KIND pca (score map J from 1), cluster (the "
         "cluster map; J is ignored) or nmf (weight map J from 1).",
         C::AtOnce},
        {COMPONENTS_SAVE_SPECTRUM, Analysis, "integer J, file",
         "Writes spectrum J of the last components run as \"E value\" lines: cluster J (from "
         "0) after a cluster run, component J (from 1) after a PCA or NMF run.",
         C::AtOnce},
        {COMPONENTS_USE_AS_REFERENCE, Analysis, "integer J, integer ROW",
         "Writes spectrum J of the last components run as cluster-J.dat (nmf-J.dat, pca-J.dat) "
         "in the working folder and reads it into LCF reference row ROW (from 0; -1 the first "
         "row without a file), in use, dE 0, straight background.",
         C::AtOnce},

        {LOAD_SHIFTS, Display, "file",
         "Registration shifts of the I1 images from a shift file (\"index dx dy score\" per "
         "line, as lumenstack-tool align writes it); fractions of a pixel are kept and the "
         "images resampled. A file that cannot be read leaves the shifts in use.",
         C::AtOnce},
        {SAVE_SHIFTS, Display, "file",
         "Writes the registration shifts of the I1 images as a shift file.", C::AtOnce},
        {CLEAR_SHIFTS, Display, "none", "Every I1 image back to shift 0 0.", C::AtOnce},
        {ALIGN_SERIES, Display, "METHOD, UPSAMPLE, REFERENCE",
         "Aligns the whole I1 series by phase correlation, as Align Series of the image "
         "processor: METHOD phase, gradient (phase correlation of the edges, for contrast that "
         "reverses across the edge) or chain (each image against its aligned neighbour); "
         "UPSAMPLE 1 to 100 (precision 1/UPSAMPLE pixel); REFERENCE an image index from 0, or "
         "auto (the image of most contrast). The processor's Max shift and Apply to I0 hold. "
         "The shifts are applied when the run ends and the suspect images named; bad "
         "arguments, a stop or a failure change no shift.",
         C::RunEnds},
        {CALIB_SHOW_WINDOW, Calib, "none", "Shows the calibration window.", C::AtOnce},
        {CALIB_LOAD_STD, Calib, "file", "Standard spectrum of the calibration.", C::AtOnce},
        {CALIB_SET_EDGE_EV, Calib, "text", "Edge energy of the standard (eV).", C::AtOnce},
        {CALIB_EXEC, Calib, "none",
         "Calibrates every bin of the selected area against the standard: the energy-shift map.",
         C::RunEnds},
        {CALIB_LOAD_MAP, Calib, "file", "Loads an energy-shift map file (.emp).", C::AtOnce},
        {CALIB_CLEAR_MAP, Calib, "none", "Removes the energy-shift map.", C::AtOnce},
        {CALIB_SAVE_MAP, Calib, "file", "Saves the energy-shift map file (.emp).", C::AtOnce},
        {CALIB_TYPE, Calib, "integer", "1 inner product, anything else dMidx.", C::AtOnce},

        {SAVEDATACFG_SHOW_WINDOW, SaveCfg, "none", "Shows the save-data configuration.", C::AtOnce},
        {SAVEDATACFG_SAVE_AS_TIFF, SaveCfg, "none", "save_data writes 16-bit TIFF.", C::AtOnce},
        {SAVEDATACFG_SAVE_AS_TEXT, SaveCfg, "none", "save_data writes text.", C::AtOnce},
        {SAVEDATACFG_TIFF_FIX_SCALE, SaveCfg, "flag", "TIFF over a fixed value range.", C::AtOnce},
        {SAVEDATACFG_TIFF_SCALE_MIN, SaveCfg, "number", "Value written as 0.", C::AtOnce},
        {SAVEDATACFG_TIFF_SCALE_MAX, SaveCfg, "number", "Value written as 65535.", C::AtOnce},
        {SAVEDATACFG_TIFF_AS_ANALYZED, SaveCfg, "flag", "TIFF of the values as analysed.",
         C::AtOnce},
        {SAVEDATACFG_TEXT_AS_CSV, SaveCfg, "none", "Text separated by commas.", C::AtOnce},
        {SAVEDATACFG_TEXT_AS_SSV, SaveCfg, "none", "Text separated by blanks.", C::AtOnce},
        {SAVEDATACFG_TEXT_AS_XYZ, SaveCfg, "none", "Text lines \"X Y Val\".", C::AtOnce},
        {SAVEDATACFG_TEXT_AS_VALS, SaveCfg, "none", "Text as a grid of values.", C::AtOnce},

        {SUGGEST_ELM, Suggest, "flag",
         "Uses the element suggestion: edge-relative fit windows for every spectrum.", C::AtOnce},
        {SUGGESTING_ELM, Suggest, "element", "Suggested element, e.g. Fe.", C::AtOnce},
        {SUGGESTING_EDGE, Suggest, "integer", "Edge index: 0 K, 1 L1, 2 L2, 3 L3.", C::AtOnce},
        {SUGGESTING_EDGE_EV, Suggest, "text", "Suggested edge energy (eV).", C::AtOnce},
        {SUGGESTING_PRE_END_EV, Suggest, "text",
         "End of the pre-edge fit window, relative to the edge (eV).", C::AtOnce},
        {SUGGESTING_JUMP_TH, Suggest, "number",
         "Edge-jump threshold (field Jump th.): a spectrum whose jump stays below this many "
         "standard deviations of its pre- and post-edge lines is not normalised.",
         C::AtOnce},
        {SUGGESTING_POST_START_EV, Suggest, "text",
         "Start of the post-edge fit window, relative to the edge (eV).", C::AtOnce},

        {SESSION_SAVE, Sessions, "file",
         "Writes every input of the work in the window as a session file (JSON): the files of "
         "both series, the dark, the background and total-I0 spectra, the energy-shift map and "
         "the references with their size and modification time, the energy setup, I0 use, bin, "
         "area, the series' dark areas, point, suggestion and fixed E0, the reference rows, "
         "the fit options, the "
         "registration shifts and the analysis mode and fields. Paths below the session file's "
         "folder are stored relative to it.",
         C::AtOnce},
        {SESSION_LOAD, Sessions, "file",
         "Reads a session file and checks every file it names first: one that is missing, or "
         "whose size or modification time differs, refuses the whole session with an error "
         "naming it, and nothing changes. Otherwise the session's settings follow as batch "
         "lines run right after this one (load_dark, loads of both series, the spectra, the "
         "fields, the dark areas, the reference rows, which empty every row the session does "
         "not name, "
         "shifts, shift map, area and point); a run then gives the maps the saved work gave.",
         C::AtOnce},

        {QUIT, Other, "none", "Closes the program; the last line of a headless batch.", C::Never},
    };
    return docs;
}

QString escaped(QString text) {
    return text.replace('|', QLatin1String("\\|"));
}

} // namespace

const QVector<CommandDoc> &all() {
    return table();
}

const CommandDoc *find(int id) {
    for (const CommandDoc &d : table())
        if (d.id == id)
            return &d;
    return nullptr;
}

QStringList undocumentedCommands() {
    ExCmdTable::build();
    QStringList missing;
    for (const EX_CMD_ID id : ExCmdTable::allIds()) {
        const QString name = ExCmdTable::nameOf(id);
        if (ExCmdTable::isExternal(name) && !find(id))
            missing << name;
    }
    return missing;
}

QString completionText(Completion c) {
    switch (c) {
    case Completion::AtOnce:
        return QStringLiteral("at once");
    case Completion::LoadEnds:
        return QStringLiteral("when the load has ended");
    case Completion::RunEnds:
        return QStringLiteral("when the run has ended (at once when it cannot start)");
    case Completion::Never:
        return QStringLiteral("never: the program closes");
    }
    return QString();
}

namespace {

const char *const Preamble = R"(# Batch-language reference

Generated by `lumenstack-tool batch-reference` from the command table; do not
edit by hand.

A batch is a text of command lines, run one after the other from the batch
window (button Batch) or headless with
`lumenstack -platform offscreen -e -b FILE -x` (end the file with `quit`).
Everything after `#` is a comment; a line ending in `\` continues on the next
line. Command names are matched in any case; arguments are separated by
blanks, and an argument with blanks is written in double quotes.

Each command runs only when the one before it has completed: most complete at
once, loads when the files are read, map runs and the calibration when they
have ended. The dark frame is chosen in the window (Select Dark): no batch
command loads it.

The I0 series takes its energies from the I1 energy setup (box Same as I1 of
the I0 setup, on at start) until a command sets one of its own energy fields
(`set_i0_energy_pattern` or any `eng_..._i0`): from then on it uses its own
setup, as set. A pattern set without a factor keeps the factor it had. A batch
run from the command line (`-x`) starts from the built-in setup, not from
the fields the program remembers between sessions.

## Arguments

- integer: a decimal integer; text that is not a number reads 0.
- number: a floating-point number; text that is not a number reads 0.
- flag: an integer; on exactly when it is 1.
- NEW: the first argument of the load commands; `NEW` (any case) replaces the
  series, anything else adds to it.
- [argument]: may be left out. A missing argument is the empty text.
- `lumenstack-tool batch-check FILE` lists the lines of a batch whose command
  is unknown (a run skips it silently) or whose argument count is wrong.

## Control commands

| Command | Arguments | Effect |
|---|---|---|
| `:let` | name [value] | sets the variable; `$name$` in later arguments is replaced by the value (`$DataRoot$` is the data folder) |
| `:for` | name placeholder start end [step] | repeats the lines up to `:next name`, with the placeholder replaced by the counter; a start such as `001` pads with zeros |
| `:next` | name | steps the loop of that name |
| `:echo` | text | writes the text to the batch log |
| `:rem_start`, `:rem_end` | none | the lines between them are not run |
| `:end` | none | stops the batch |
)";

} // namespace

QString referenceMarkdown() {
    ExCmdTable::build();
    QString out = QString::fromUtf8(Preamble);
    QStringList sections;
    for (const CommandDoc &d : table())
        if (!sections.contains(QLatin1String(d.section)))
            sections << QLatin1String(d.section);
    for (const QString &section : sections) {
        out += QStringLiteral("\n## %1\n\n").arg(section);
        out += QStringLiteral("| Command | Arguments | Effect | Completes |\n|---|---|---|---|\n");
        for (const CommandDoc &d : table()) {
            if (section != QLatin1String(d.section))
                continue;
            out += QStringLiteral("| `%1` | %2 | %3 | %4 |\n")
                       .arg(ExCmdTable::nameOf(d.id), escaped(QString::fromUtf8(d.arguments)),
                            escaped(QString::fromUtf8(d.effect)), completionText(d.completion));
        }
    }
    return out;
}

} // namespace CommandDocs
