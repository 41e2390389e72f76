mmr 10 nan rank 22 4
mmr 11 -inf rank -1 -1
mmr 13 3e38 rank 2147483647 3
unload
load
match start -2147483648
match end winner 2147483647
match start 11
mmr 11 3e38 after 0.5
match end win
wait 1
leave
frame
