#pragma once
// The vocabulary of external batch commands: the identifiers EX_CMD_ID and
// their names. The table is built once and never changes; names are matched in
// any case. The identifiers double as load identifiers on the loader signals
// (4 = I1 series, 5 = I0 series).
#include <QMetaType>
#include <QString>
#include <QVector>

enum EX_CMD_ID {
    CLEAR_I1_FILES = 0,
    CLEAR_I0_FILES = 1,
    SET_I1_ENERGY_PATTERN = 2,
    SET_I0_ENERGY_PATTERN = 3,
    LOAD_I1_FILES = 4,
    LOAD_I0_FILES = 5,
    LOAD_I1_FILES_OF_PATTERN = 6,
    LOAD_I0_FILES_OF_PATTERN = 7,
    CUT_F_I0 = 8,
    CUT_F_I1 = 9,
    CUT_L_I0 = 10,
    CUT_L_I1 = 11,
    SKIP_I0 = 12,
    SKIP_I1 = 13,
    SHOW_LATEST_I0 = 14,
    SHOW_LATEST_I1 = 15,
    ENG_BY_NAME_I0 = 16,
    ENG_BY_NAME_I1 = 17,
    ENG_BY_NAME_REG_EXP_I0 = 18,
    ENG_BY_NAME_REG_EXP_I1 = 19,
    ENG_BY_NAME_FACTOR_I0 = 20,
    ENG_BY_NAME_FACTOR_I1 = 21,
    ENG_BY_CALC_I0 = 22,
    ENG_BY_CALC_I1 = 23,
    ENG_CALC_BASE_I0 = 24,
    ENG_CALC_BASE_I1 = 25,
    ENG_CALC_DELTA_I0 = 26,
    ENG_CALC_DELTA_I1 = 27,
    ENG_CALC_END_I0 = 28,
    ENG_CALC_END_I1 = 29,
    ENG_CALC_NUM_I0 = 30,
    ENG_CALC_NUM_I1 = 31,
    ENG_CALC_EVEN_IN_ENG_I0 = 32,
    ENG_CALC_EVEN_IN_ENG_I1 = 33,
    ENG_CALC_EVEN_IN_DEG_I0 = 34,
    ENG_CALC_EVEN_IN_DEG_I1 = 35,
    ENG_CALC_DISP_UNIT_I0 = 36,
    ENG_CALC_DISP_UNIT_I1 = 37,
    ENG_BY_REF_I0 = 38,
    ENG_BY_REF_I1 = 39,
    SET_FLUO_TYPE = 40,
    SET_BAND_W = 41,
    SET_BAND_H = 42,
    SELECT_DISP_IMAGE = 43,
    SEEK_IMAGE = 44,
    SAVE_IMAGE = 45,
    SAVE_IMAGE_W_NUM = 46,
    SAVE_ALL_IMAGES = 47,
    SAVE_DATA = 48,
    SAVE_DATA_AS_TIFF = 49,
    MOVE_POSITION = 50,
    SAVE_SPECTRA = 51,
    CBAR_SET_RANGE = 52,
    CBAR_SET_ALL = 53,
    SELECT_REGION = 54,
    SCALE_RESET = 55,
    ZOOM_IN = 56,
    XAFS_VIEW_NORMALIZE = 57,
    XAFS_VIEW_ENERUGY_CORRECTION = 58,
    ANALYZER_SHOW_WINDOW = 59,
    ANALYZER_SET_LCF_STD = 60,
    ANALYZER_SET_LCF_MODE = 61,
    ANALYZER_EXEC_LCF = 62,
    ANALYZER_SELECT_IMAGE = 63,
    ANALYZER_SELECT_IMAGE_TYPE = 64,
    ANALYZER_SET_RA_ENERGY = 65,
    ANALYZER_SET_RA_FACTOR = 66,
    ANALYZER_EXEC_RA = 67,
    ANALYZER_SET_FIXED_SCALE = 68,
    ANALYZER_SET_SCALE_MAX = 69,
    ANALYZER_SET_SCALE_MIN = 70,
    ANALYZER_SET_DMUT_SCALE_MAX = 71,
    ANALYZER_SET_DMUT_SCALE_MIN = 72,
    ANALYZER_SET_RATIO_SCALE_MAX = 73,
    ANALYZER_SET_RATIO_SCALE_MIN = 74,
    ANALYZER_VIEW_NORMALIZE = 75,
    ANALYZER_VIEW_ENERUGY_CORRECTION = 76,
    ANALYZER_TARGET_ELEMENTS = 77,
    ANALYZER_SELECT_ANALYSIS_MODE = 78,
    ANALYZER_ELEMS_SELECT_TARGET = 79,
    ANALYZER_ELEMS_SELECT_SHOW = 80,
    ANALYZER_ELEMS_SET_DEVS = 81,
    ANALYZER_ELEMS_SET_CORR_TH = 82,
    ANALYZER_ELEMS_SELECT_DISP_MODE = 83,
    ANALYZER_ELEMS_SET_USE = 84,
    ANALYZER_ELEMS_SORT_BY_AN = 85,
    ANALYZER_ELEMS_ROI = 86,
    ANALYZER_ELEMS_THDMUT = 87,
    ANALYZER_ELEMS_NO_NEG = 88,
    ANALYZER_ELEMS_BG_DMUT = 89,
    ANALYZER_ELEMS_BG_DMUTR = 90,
    ANALYZER_ELEMS_BG_DE = 91,
    ANALYZER_ELEMS_BG_ROI = 92,
    ANALYZER_ELEMS_BG_NROI = 93,
    ANALYZER_EXEC_ELEMS = 94,
    CALIB_SHOW_WINDOW = 95,
    CALIB_LOAD_STD = 96,
    CALIB_SET_EDGE_EV = 97,
    CALIB_EXEC = 98,
    CALIB_LOAD_MAP = 99,
    CALIB_CLEAR_MAP = 100,
    CALIB_SAVE_MAP = 101,
    CALIB_TYPE = 102,
    SAVEDATACFG_SHOW_WINDOW = 103,
    SAVEDATACFG_SAVE_AS_TIFF = 104,
    SAVEDATACFG_SAVE_AS_TEXT = 105,
    SAVEDATACFG_TIFF_FIX_SCALE = 106,
    SAVEDATACFG_TIFF_SCALE_MIN = 107,
    SAVEDATACFG_TIFF_SCALE_MAX = 108,
    SAVEDATACFG_TIFF_AS_ANALYZED = 109,
    SAVEDATACFG_TEXT_AS_CSV = 110,
    SAVEDATACFG_TEXT_AS_SSV = 111,
    SAVEDATACFG_TEXT_AS_XYZ = 112,
    SAVEDATACFG_TEXT_AS_VALS = 113,
    QUIT = 114,
    USE_I0 = 115,
    SUGGEST_ELM = 116,
    SUGGESTING_ELM = 117,
    SUGGESTING_EDGE = 118,
    SUGGESTING_EDGE_EV = 119,
    SUGGESTING_PRE_END_EV = 120,
    SUGGESTING_POST_START_EV = 121,
    SET_I0_DARK_AREA = 122,
    SET_I1_DARK_AREA = 123,
    CLEAR_I0_DARK_AREA = 124,
    CLEAR_I1_DARK_AREA = 125,
    NOT_EX_CMD = 126,
    // Commands added to the built-in table. They are numbered from
    // ExCmdTable::FirstExtension, apart from the built-in identifiers 0..126
    // and from 127, which names no command, so none of those changes.
    ANALYZER_SET_LCF_NONNEG = 200,
    ANALYZER_SET_LCF_SUM1 = 201,
    ANALYZER_SET_FIXED_E0 = 202,
    ANALYZER_SELECT_SIGMA_IMAGE = 203,
    LOAD_SHIFTS = 204,
    SAVE_SHIFTS = 205,
    CLEAR_SHIFTS = 206,
    ALIGN_SERIES = 207,
    COMPONENTS_SET_RANGE = 208,
    COMPONENTS_SET_COUNT = 209,
    COMPONENTS_EXEC_PCA = 210,
    COMPONENTS_EXEC_CLUSTERS = 211,
    COMPONENTS_EXEC_NMF = 212,
    COMPONENTS_SELECT_MAP = 213,
    COMPONENTS_SAVE_SPECTRUM = 214,
    COMPONENTS_USE_AS_REFERENCE = 215,
    SESSION_SAVE = 216,
    SESSION_LOAD = 217,
    LOAD_DARK = 218,
    CLEAR_DARK = 219,
    SET_DARK_EXP_TIME = 220,
    SUGGESTING_JUMP_TH = 221,
    ANALYZER_SET_LCF_OLD = 222,
    ANALYZER_SET_LCF_RANGE = 223,
    ANALYZER_CLEAR_LCF_STD = 224,
    ENG_SAME_AS_I1_I0 = 225,
    LOAD_BG = 226,
    CLEAR_BG = 227,
    LOAD_TOTAL_I0_OF_I1 = 228,
    LOAD_TOTAL_I0_OF_I0 = 229,
    CLEAR_TOTAL_I0_OF_I1 = 230,
    CLEAR_TOTAL_I0_OF_I0 = 231,
};

class ExCmdTable {
public:
    static constexpr int Count = 127;
    static constexpr int FirstExtension = 200;
    static constexpr int ExtensionCount = 32;

    // Every command identifier: 0..Count-1, then the extensions.
    static QVector<EX_CMD_ID> allIds();

    // Builds the table (done on first use as well; safe from any thread).
    static void build();

    // The identifier of a command name in any case; NOT_EX_CMD when the name
    // is not in the table.
    static EX_CMD_ID idOf(const QString &name);

    // True when the name is an external command (in the table and not
    // "not ex cmd").
    static bool isExternal(const QString &name);

    // The name of an identifier; "UnKnow ExCMD id" when it is not in the table.
    static QString nameOf(int id);
};

Q_DECLARE_METATYPE(EX_CMD_ID)
