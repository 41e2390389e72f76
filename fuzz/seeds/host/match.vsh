mmr 11 1000 rank 10 1
unload
load
match start 11
scoreboard open
scoreboard close
mmr 11 1012 rank 10 2 after 2
match end win
wait 3
leave
frame
