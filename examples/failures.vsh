# Every message the plug-in writes when something goes wrong, one after another.
#
#   vantrel-host --workdir failures examples/failures.vsh
#
# The log then reads as failures.messages beside this file. (One message cannot be made
# here: "OnMatchEnd: gameWrapper is null" needs a host that never hands the plug-in its
# game handle, and this one always does.)

# Start-up fails when the rating service fails: the plug-in registers nothing and says
# why. The host loaded the plug-in before the first line, so start it again.
unload
fault GetPlayerMMR throw "rating service unavailable"
load
status
unload
fault clear

# A healthy start.
mmr 10 700 rank 10 1
mmr 11 900 rank 13 3
load
match start 11

# The match-ended event arrives without a match, without a winner, without the player.
match end noserver
match end nowinner
match end nocontroller

# The host fails while the plug-in decides the result, then while it counts it.
fault GetWinningTeam throw "no scoreboard"
match end win
fault GetPlaylistId throw "no playlist"
match end win

# The host fails while the plug-in polls the rating a second later.
match end loss
fault GetPlayerMMR throw "rating service timed out"
wait 2

# The rating never changes: six readings, then the poll gives up.
match end win
wait 6
status
