set term png size 625,750
set origin .13,0
set size .87, 1
set output 'dem_Weightings_Map.png'
set title 'Weightings Map'
set xrange [100.4:102.6]
set yrange [197.65:199.85]
set arrow 1 from 100.5,199.75 to 100.5,197.75 nohead lc rgb 'grey'
set arrow 2 from 100.5,199.75 to 102.5,199.75 nohead lc rgb 'grey'
set arrow 3 from 100.5,197.75 to 102.5,197.75 nohead lc rgb 'grey'
set arrow 4 from 102.5,199.75 to 102.5,197.75 nohead lc rgb 'grey'
unset key
set object circle at screen 0.02,0.75 radius char 0.5 fillstyle solid fillcolor rgb '#00ff00'
set label 1 'w >= .9' at screen 0.03,0.75
set object circle at screen 0.02,0.70 radius char 0.5 fillstyle solid fillcolor rgb '#00ffaa'
set label 2 '.9 > w >= .8' at screen 0.03,0.70
set object circle at screen 0.02,0.65 radius char 0.5 fillstyle solid fillcolor rgb '#00ffff'
set label 3 '.8 > w >= .7' at screen 0.03,0.65
set object circle at screen 0.02,0.60 radius char 0.5 fillstyle solid fillcolor rgb '#0088ff'
set label 4 '.7 > w >= .6' at screen 0.03,0.60
set object circle at screen 0.02,0.55 radius char 0.5 fillstyle solid fillcolor rgb '#0000ff'
set label 5 '.6 > w >= .5' at screen 0.03,0.55
set object circle at screen 0.02,0.50 radius char 0.5 fillstyle solid fillcolor rgb '#8800ff'
set label 6 '.5 > w >= .4' at screen 0.03,0.50
set object circle at screen 0.02,0.45 radius char 0.5 fillstyle solid fillcolor rgb '#bb00ff'
set label 7 '.4 > w >= .3' at screen 0.03,0.45
set object circle at screen 0.02,0.40 radius char 0.5 fillstyle solid fillcolor rgb '#ff00ff'
set label 8 '.3 > w >= .2' at screen 0.03,0.40
set object circle at screen 0.02,0.35 radius char 0.5 fillstyle solid fillcolor rgb '#ff0088'
set label 9 '.2 > w >= .1' at screen 0.03,0.35
set object circle at screen 0.02,0.30 radius char 0.5 fillstyle solid fillcolor rgb '#ff0000'
set label 10 'w < .1' at screen 0.03,0.30
plot '-' using 1:2:3 with points pt 7 ps 1.5 lc rgb variable
101 199 0x00ff00
101.5 198.5 0x0000ff
102 198 0x00ff00
e
reset
