# An evening of ranked play, from the game's start to the last match.
#
#   vantrel-host --workdir evening examples/evening.vsh
#
# The plug-in's log then reads as evening.messages beside this file (each line with its
# time stamp in front). The table at the end shows the evening per mode.

# The game starts knowing the player's 2vs2 and 3vs3 ratings, but not yet the 1vs1 one.
# (The host loaded the plug-in before the first line: start it again with the ratings.)
unload
mmr 11 1000.5 rank 15 0
mmr 13 850 rank 13 1
load
# The plug-in polls for the 1vs1 rating, once a second.
wait 4
# The 1vs1 rating arrives: the plug-in records it (a first rating is not a gain).
mmr 10 757 rank 12 0
wait 1

# 2vs2: a win, the server updates the rating 3 seconds later.
match start 11
wait 300
match end win
mmr 11 1012.25 rank 15 1 after 3
wait 10

# 2vs2 again, on the other team: a loss.
match start 11 team 1
wait 300
scoreboard open
wait 5
scoreboard close
wait 100
match end loss
mmr 11 1003 rank 15 0 after 2
wait 10

# 3vs3: two wins in a row, the second one ranks the player up a division.
match start 13
wait 320
match end win
mmr 13 859.5 after 4
wait 10
match start 13
wait 280
match end win
mmr 13 868.75 rank 13 2 after 2
wait 10

# 1vs1: a loss whose rating change the server never sends in time.
match start 10
wait 240
match end loss
wait 10

# A casual match (playlist 6): counted under "Other", not in the table.
match start 6
wait 300
match end win
mmr 6 540 after 1
wait 10

# Back in the menus: the table shows the evening.
leave
frame
status
