fault GetPlayerMMR throw skip 1
match start 10
match end loss
wait 2
fault DrawString throw always
frame
fault clear
fault SetTimeout throw
match start 13
match end win
status
