# A week of evenings: the game started and closed each night, so the log collects one
# session (a load of the plug-in) per evening, in every mode. Play it on a fixed calendar:
#
#   vantrel-host --clock 2026-11-30T19:00 --workdir week examples/week.vsh
#   vantrel-report week/VantrelLog.txt --html week.html
#
# Without --clock the week starts now; `clock tomorrow HH:MM` jumps over each night, so the
# log has the days in it either way. The plug-in's messages (without their time stamps)
# are in week.messages beside this file.
#
# Playlists: 10 is 1vs1, 11 is 2vs2, 13 is 3vs3; anything else (6, a private match) counts
# as "Other". `mmr ... after S` is the server sending the new rating S seconds after a match.

# --- Monday: the game starts knowing the 2vs2 and 3vs3 ratings; 1vs1 comes a bit later.
unload
mmr 11 1040 rank 15 2
mmr 13 842 rank 13 0
mmr 10 748 rank 12 0 after 2
load
wait 60
match start 11
wait 380
match end win
mmr 11 1049.5 after 3
wait 45
match start 11
wait 410
match end loss
mmr 11 1041.25 after 2
wait 45
match start 13
wait 360
match end win
mmr 13 851 rank 13 1 after 4
wait 60
match start 11
wait 395
match end win
mmr 11 1052 rank 15 3 after 3
wait 30
# The game closes: the session ends.
unload

# --- Tuesday, 20:15: 1vs1 and 2vs2, and a poll that never ends.
clock tomorrow 20:15
load
wait 40
match start 10
wait 300
match end loss
mmr 10 739.5 after 2
wait 40
match start 10
wait 290
match end win
mmr 10 748.75 rank 12 0 after 3
wait 40
match start 11
wait 385
match end win
mmr 11 1061.5 after 2
wait 40
match start 11
wait 400
match end loss
# The server is slow tonight: no new 2vs2 rating within the plug-in's five retries, so it
# logs that the retry limit was reached and the change stays unknown. The rating arrives
# later; the next evening starts from it.
mmr 11 1053 after 8
wait 30
unload

# --- Wednesday, 19:40: 3vs3, a reload in the middle of the evening (say, the plug-in was
# updated), then a private match, counted under "Other". The plug-in keeps no "Other"
# rating from one load to the next, so that match's change reads as from 0.
clock tomorrow 19:40
load
wait 30
match start 13
wait 350
match end win
mmr 13 860.25 after 3
wait 40
match start 13
wait 370
match end loss
mmr 13 852 after 2
wait 20
unload
wait 15
load
wait 30
match start 13
wait 340
match end win
mmr 13 861.5 after 3
wait 40
match start 6
wait 300
match end win
mmr 6 520 after 2
wait 30
unload

# --- Thursday, 21:05: two 2vs2 wins in a row; the second ranks the player up from
# Diamond III division 4 to Champion I.
clock tomorrow 21:05
load
wait 30
match start 11
wait 390
match end win
mmr 11 1064.5 after 3
wait 40
match start 11
wait 405
match end win
mmr 11 1076.5 rank 16 0 after 2
wait 30
unload

# --- Friday, 20:30: one match in each ranked mode.
clock tomorrow 20:30
load
wait 30
match start 10
wait 310
match end win
mmr 10 757.25 after 3
wait 30
match start 11
wait 400
match end loss
mmr 11 1068 after 2
wait 30
match start 13
wait 360
match end win
mmr 13 870.75 rank 13 2 after 3
wait 30
unload

# --- Saturday, 18:00: a long evening of 1vs1 and 2vs2.
clock tomorrow 18:00
load
wait 30
match start 10
wait 290
match end win
mmr 10 766 after 2
wait 30
match start 10
wait 300
match end win
mmr 10 775.5 rank 12 1 after 3
wait 30
match start 10
wait 320
match end loss
mmr 10 766.25 after 2
wait 60
match start 11
wait 390
match end win
mmr 11 1077.75 after 3
wait 30
match start 11
wait 380
match end loss
mmr 11 1069.5 after 2
wait 30
match start 11
wait 400
match end win
mmr 11 1080 after 3
wait 30
unload

# --- Sunday, 19:15: 3vs3 to close the week; the table shows the evening.
clock tomorrow 19:15
load
wait 30
match start 13
wait 350
match end loss
mmr 13 862 after 3
wait 30
match start 13
wait 365
match end win
mmr 13 872.5 after 2
wait 30
leave
frame
