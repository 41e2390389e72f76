# A first session with vantrel-host and the Vantrel plug-in.
#
#   vantrel-host --workdir session examples/first-session.vsh
#
# The host loads the plug-in before the first line runs. Everything after a # is a
# comment; `help` lists the commands. The plug-in's log, VantrelLog.txt, and the saved
# console variables, config.cfg, land in the working directory.

# 1. The ratings the game's server knows for this player: 1v1 (playlist 10), 2v2 (11)
#    and 3v3 (13), each with its rank record (tier, then division).
mmr 10 757 rank 12 0
mmr 11 1000.5 rank 15 0
mmr 13 850 rank 13 1

# The plug-in reads the ratings when it starts. It started before they were set, so
# start it again, as if the game had known them all along.
unload
load

# 2. A 2v2 match online, on team 0. The table hides while the match runs and shows
#    while the scoreboard is open.
match start 11 team 0
wait 30
scoreboard open
wait 2
scoreboard close

# 3. We win. The plug-in counts the win at once and starts polling the rating, once a
#    second, for up to 5 retries.
match end win

# 4. The game's server updates the 2v2 rating 3 seconds after the match. The clock only
#    moves with `wait`: the poll finds the new rating at its third retry.
mmr 11 1012.25 rank 15 1 after 3
wait 6

# 5. The table as the plug-in draws it now, one canvas call a line: the 2v2 row shows
#    one win and a change of +11.75.
frame

# 6. The console variables the plug-in registered (saved at exit). Move the table:
get vantrel_pos_x
set vantrel_pos_x 100

# 7. What the host knows: the clock, the game, pending timers, frames drawn, the
#    plug-in and any exception that escaped it.
status
