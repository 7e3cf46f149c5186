:let dir /tmp/scan
:for i XX 001 003
:echo $dir$/aXX.tif
seek_image XX
:next i
:rem_start
save_image x.png
:rem_end
load_I1_files NEW \
 a.tif b.tif
:end
quit
