#include "batch/ExCmdTable.h"

#include <QHash>
#include <QVector>

namespace {

const char *const Names[ExCmdTable::Count] = {
    "clear_I1_files",
    "clear_I0_files",
    "set_i1_energy_pattern",
    "set_i0_energy_pattern",
    "load_I1_files",
    "load_I0_files",
    "load_I1_files_of_pattern",
    "load_I0_files_of_pattern",
    "cut_f_i0",
    "cut_f_i1",
    "cut_l_i0",
    "cut_l_i1",
    "skip_i0",
    "skip_i1",
    "show_latest_i0",
    "show_latest_i1",
    "eng_by_name_i0",
    "eng_by_name_i1",
    "eng_by_name_reg_exp_i0",
    "eng_by_name_reg_exp_i1",
    "eng_by_name_factor_i0",
    "eng_by_name_factor_i1",
    "eng_by_calc_i0",
    "eng_by_calc_i1",
    "eng_calc_base_i0",
    "eng_calc_base_i1",
    "eng_calc_delta_i0",
    "eng_calc_delta_i1",
    "eng_calc_end_i0",
    "eng_calc_end_i1",
    "eng_calc_num_i0",
    "eng_calc_num_i1",
    "eng_calc_even_in_eng_i0",
    "eng_calc_even_in_eng_i1",
    "eng_calc_even_in_deg_i0",
    "eng_calc_even_in_deg_i1",
    "eng_calc_disp_unit_i0",
    "eng_calc_disp_unit_i1",
    "eng_by_ref_i0",
    "eng_by_ref_i1",
    "set_fluo_type",
    "set_band_w",
    "set_band_h",
    "select_disp_image",
    "seek_image",
    "save_image",
    "save_image_w_num",
    "save_all_images",
    "save_data",
    "save_data_as_tiff",
    "move_position",
    "save_spectra",
    "cbar_set_range",
    "cbar_set_all",
    "select_region",
    "scale_reset",
    "zoom_in",
    "xafs_view_normalize",
    "xafs_view_enerugy_correction",
    "analyzer_show_window",
    "analyzer_set_LCF_std",
    "analyzer_set_LCF_mode",
    "analyzer_exec_LCF",
    "analyzer_select_image",
    "analyzer_select_image_type",
    "analyzer_set_ra_energy",
    "analyzer_set_ra_factor",
    "analyzer_exec_ra",
    "analyzer_set_fixed_scale",
    "analyzer_set_scale_max",
    "analyzer_set_scale_min",
    "analyzer_set_dMut_scale_max",
    "analyzer_set_dMut_scale_min",
    "analyzer_set_ratio_scale_max",
    "analyzer_set_ratio_scale_min",
    "analyzer_view_normalize",
    "analyzer_view_enerugy_correction",
    "analyzer_target_elements",
    "analyzer_select_analysis_mode",
    "analyzer_elems_select_target",
    "analyzer_elems_select_show",
    "analyzer_elems_set_deVs",
    "analyzer_elems_set_corr_th",
    "analyzer_elems_select_disp_mode",
    "analyzer_elems_set_use",
    "analyzer_elems_sort_by_an",
    "analyzer_elems_roi",
    "analyzer_elems_thdmut",
    "analyzer_elems_no_neg",
    "analyzer_elems_bg_dMut",
    "analyzer_elems_bg_dMutR",
    "analyzer_elems_bg_dE",
    "analyzer_elems_bg_ROI",
    "analyzer_elems_bg_NROI",
    "analyzer_exec_elems",
    "calib_show_window",
    "calib_load_std",
    "calib_set_edge_eV",
    "calib_exec",
    "calib_load_map",
    "calib_clear_map",
    "calib_save_map",
    "calib_type",
    "saveDataCfg_show_window",
    "saveDataCfg_save_as_tiff",
    "saveDataCfg_save_as_text",
    "saveDataCfg_tiff_fix_scale",
    "saveDataCfg_tiff_scale_min",
    "saveDataCfg_tiff_scale_max",
    "saveDataCfg_tiff_as_analyzed",
    "saveDataCfg_text_as_csv",
    "saveDataCfg_text_as_ssv",
    "saveDataCfg_text_as_xyz",
    "saveDataCfg_text_as_vals",
    "quit",
    "Use_I0",
    "Suggest_Elm",
    "Suggesting_Elm",
    "Suggesting_Edge",
    "Suggesting_Edge_eV",
    "Suggesting_Pre_End_eV",
    "Suggesting_Post_Start_eV",
    "set_i0_dark_area",
    "set_i1_dark_area",
    "clear_i0_dark_area",
    "clear_i1_dark_area",
    "not ex cmd",
};

const char *const ExtensionNames[ExCmdTable::ExtensionCount] = {
    "analyzer_set_LCF_nonneg",
    "analyzer_set_LCF_sum1",
    "analyzer_set_fixed_E0",
    "analyzer_select_sigma_image",
    "load_shifts",
    "save_shifts",
    "clear_shifts",
    "align_series",
    "components_set_range",
    "components_set_count",
    "components_exec_pca",
    "components_exec_clusters",
    "components_exec_nmf",
    "components_select_map",
    "components_save_spectrum",
    "components_use_as_reference",
    "session_save",
    "session_load",
    "load_dark",
    "clear_dark",
    "set_dark_exp_time",
    "suggesting_jump_th",
    "analyzer_set_LCF_old",
    "analyzer_set_LCF_range",
    "analyzer_clear_LCF_std",
    "eng_same_as_i1_i0",
    "load_bg",
    "clear_bg",
    "load_total_i0_of_i1",
    "load_total_i0_of_i0",
    "clear_total_i0_of_i1",
    "clear_total_i0_of_i0",
};

struct Table {
    QVector<QString> names;
    QVector<QString> extensionNames;
    QHash<QString, EX_CMD_ID> idsByUpperName;

    Table() {
        for (int id = 0; id < ExCmdTable::Count; ++id) {
            names.append(QString::fromLatin1(Names[id]));
            idsByUpperName.insert(names.last().toUpper(), EX_CMD_ID(id));
        }
        for (int k = 0; k < ExCmdTable::ExtensionCount; ++k) {
            extensionNames.append(QString::fromLatin1(ExtensionNames[k]));
            idsByUpperName.insert(extensionNames.last().toUpper(),
                                  EX_CMD_ID(ExCmdTable::FirstExtension + k));
        }
    }
};

const Table &table() {
    static const Table t;
    return t;
}

} // namespace

void ExCmdTable::build() {
    table();
}

EX_CMD_ID ExCmdTable::idOf(const QString &name) {
    return table().idsByUpperName.value(name.toUpper(), NOT_EX_CMD);
}

bool ExCmdTable::isExternal(const QString &name) {
    return idOf(name) != NOT_EX_CMD;
}

QString ExCmdTable::nameOf(int id) {
    const int k = id - FirstExtension;
    if (k >= 0 && k < ExtensionCount)
        return table().extensionNames.at(k);
    if (id < 0 || id >= Count)
        return QStringLiteral("UnKnow ExCMD id");
    return table().names.at(id);
}

QVector<EX_CMD_ID> ExCmdTable::allIds() {
    QVector<EX_CMD_ID> ids;
    for (int id = 0; id < Count; ++id)
        ids.append(EX_CMD_ID(id));
    for (int k = 0; k < ExtensionCount; ++k)
        ids.append(EX_CMD_ID(FirstExtension + k));
    return ids;
}
