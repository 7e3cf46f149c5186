# Lumenstack demo batch, run by tools/demo.sh in demo-output/ after
# "lumenstack-tool make-demo data" has written a synthetic Fe K-edge
# measurement (two iron compounds mixed from left to right, see data/README.txt).
:echo "Lumenstack demo"
:let data data
# Both series, in file-name order; the energies come from the names.
load_I1_files_of_pattern NEW $data$/i1/ *.tif
load_I0_files_of_pattern NEW $data$/i0/ *.tif
Use_I0 1
# A 5 x 5 pixel bin around each point.
set_band_w 2
set_band_h 2
Suggesting_Elm Fe
# Spectra at three points across the mixture (pure oxide-like at the left).
:for col X 08 56 24
move_position X 24
save_spectra spectra/point-X-24.dat
:echo "saved spectrum at (X, 24)"
:next col
# The image just above the edge, with its colour bar.
seek_image 28
save_image pictures/fe-edge.png
:echo "demo done: spectra in spectra/, pictures in pictures/"
quit
