# A session that crosses every module boundary of the Windows build: plug-in callbacks
# run from the host's timers and hooks, exceptions thrown in the host travel through the
# SDK DLL into the plug-in's handlers, the log is reopened for appending after a reload,
# and the overlay's numbers go through {fmt} and the C runtime.
#
# Started with the plug-in loaded and every rating at 0: the start-up poll ends when the
# server first reports the 1v1 rating.
mmr 10 1187.25 rank 12 3 after 2.5
wait 3

# Three 1v1 matches: a win whose new rating arrives while the poll re-reads it, a loss
# whose rating never moves (the poll gives up), and a loss that costs rating.
match start 10 team 1
scoreboard open
match end win
mmr 10 1201.5 rank 12 3 after 1.5
wait 2
leave
match start 10
match end loss
wait 6
match start 10
match end loss
mmr 10 1190 rank 12 2 after 0.5
wait 1
scoreboard open
frame
leave

# The rating service fails inside a match-end handler, then during start-up.
match start 13
fault GetPlayerMMR throw "rating service down"
match end win
leave
unload
fault GetPlayerMMR throw
load
unload
fault clear
load
set vantrel_pos_y 400
frame
