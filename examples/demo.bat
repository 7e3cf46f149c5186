# Lumenstack demo batch: a loop over numbered scans with a variable.
:echo "Lumenstack demo"
:let sample Fe-foil
:for scan NN 001 003
:echo "$sample$ scan NN"
:next scan
:for pass P 3 1
:echo "countdown P"
:next pass
:echo "demo done"
quit
