# Lumenstack demo batch, run by tools/demo.sh in demo-output/ after
# "lumenstack-tool make-demo data" has written a synthetic Fe K-edge
# measurement (two iron compounds mixed from left to right, see data/README.txt).
:echo "Lumenstack demo"
:let data data
# Both series, in file-name order; the energies come from the names.
load_I1_files_of_pattern NEW $data$/i1/ *.tif
load_I0_files_of_pattern NEW $data$/i0/ *.tif
Use_I0 1
# The dark frame (data/dark.tif) is chosen in the window with Select Dark: no
# batch command loads it, so this batch forms mu*t without dark correction.
# A 5 x 5 pixel bin around each point.
set_band_w 2
set_band_h 2
# Iron K edge, and the suggestion switched on: every spectrum is normalised
# with fit windows relative to the Fe edge (pre-edge up to 20 eV below it,
# post-edge from 20 eV above it) instead of windows found from the data.
Suggesting_Elm Fe
Suggest_Elm 1
# Spectra at three points across the mixture (pure oxide-like at the left).
:for col X 08 56 24
move_position X 24
save_spectra spectra/point-X-24.dat
:echo "saved spectrum at (X, 24)"
:next col
# The image just above the edge, with its colour bar.
seek_image 28
save_image pictures/fe-edge.png
# Linear-combination fit of every bin with the two references (A metal-like,
# B oxide-like); the batch goes on when the map run has ended.
analyzer_set_LCF_std 0 1 0 $data$/ref_A.dat 0
analyzer_set_LCF_std 1 1 0 $data$/ref_B.dat 0
analyzer_exec_LCF
:echo "LCF done"
# The fraction map of reference A (row 0, "Ratio"), shown on the display.
analyzer_select_image 0
analyzer_select_image_type 0
select_disp_image 3
# As a picture with its colour bar (fraction-A.png, fraction-A-cBar.png).
save_image maps/fraction-A.png
# As 16-bit TIFF over the fixed range 0..1 (fraction-A-0.tif), with the colour bar.
saveDataCfg_save_as_tiff
saveDataCfg_tiff_fix_scale 1
saveDataCfg_tiff_scale_min 0
saveDataCfg_tiff_scale_max 1
save_data maps/fraction-A.tif
# As text, one "X Y Val" line per bin (fraction-A-0.dat).
saveDataCfg_save_as_text
saveDataCfg_text_as_ssv
saveDataCfg_text_as_xyz
save_data maps/fraction-A.txt
# The calibration comes after the fit: a loaded shift map corrects the
# energies of every later spectrum and fit.
# Energy calibration against reference A (the metal-like compound, edge at
# 7112 eV): every 3 x 3 bin's edge is matched to A's by the inner product of
# the normalised spectra. The shift grows from 0 (pure A, right) to about
# +12 eV (pure B, left). The map is shown, saved as a picture and as a file.
set_band_w 1
set_band_h 1
calib_load_std $data$/ref_A.dat
calib_type 1
calib_exec
select_disp_image 2
save_image pictures/shift-map.png
calib_save_map maps/shift.emp
# ---- Fit options: a constrained fit at one fixed edge, with its error map ----
# The same 5 x 5 bins fitted again with Non-negative, Sum to 1 and a fixed
# edge E0 for every bin (the midpoint energy of the summed spectrum of the
# whole image, "auto"), without the calibration's shift map, which would
# otherwise correct these spectra. The per-bin edge search above puts each
# mixed bin's edge between the two compounds' edges; one common edge does not.
calib_clear_map
set_band_w 2
set_band_h 2
analyzer_set_LCF_nonneg 1
analyzer_set_LCF_sum1 1
analyzer_set_fixed_E0 1 auto
analyzer_exec_LCF
:echo "constrained LCF done"
analyzer_select_image 0
analyzer_select_image_type 0
select_disp_image 3
save_image maps/fraction-A-fit-options.png
saveDataCfg_save_as_text
save_data maps/fraction-A-fit-options.txt
# Its standard error per bin (sigma of the fraction of A).
analyzer_select_sigma_image
save_image maps/sigma-A.png
save_data maps/sigma-A.txt
# ---- Components: what the sample holds, found without references ----
# The same 5 x 5 bins clustered into 3 groups on their first 3 principal
# component scores, in the Components group of the analysis panel. The
# cluster map shows in category colours; cluster 0's mean normalised
# spectrum is saved and becomes LCF reference row 2 (the third row).
analyzer_set_fixed_E0 0
components_set_count 3
components_exec_clusters 3
:echo "clusters done"
components_select_map cluster 0
select_disp_image 3
save_image pictures/clusters-window.png
components_save_spectrum 0 spectra/cluster-0.dat
components_use_as_reference 0 2
# ---- Sessions: the work as a document that opens again ----
# Every input so far (the files of both series and the references with their
# size and modification time, the energy setup, the bin, the suggestion, the
# reference rows, the fit options) goes to a JSON file; paths below its folder
# are stored relative to it. Loading it checks every file first and refuses
# the whole session, naming the file, when one is missing or changed.
session_save demo-session.json
session_load demo-session.json
:echo "session saved and loaded again: demo-session.json"
:echo "demo done: spectra in spectra/, pictures in pictures/, LCF and shift maps in maps/"
quit
