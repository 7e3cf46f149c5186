:echo "Lumenstack demo"
quit
