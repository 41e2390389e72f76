match start 11
match end win
unload
wait 6
load
set vantrel_pos_x 2147483520
set vantrel_enabled 0
frame
set vantrel_enabled 1
vantrel_show_menu
frame
quit
