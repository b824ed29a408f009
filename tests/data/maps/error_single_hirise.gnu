set output 'dem_Error_Map.png'
set term png size 750,750
set size 0.82, 1
set title 'Error Map'
set origin .17,0
set xrange [99.9:102.1]
set yrange [197.9:200.1]
set arrow 1 from 100,200 to 100,198 nohead lc rgb 'grey'
set arrow 2 from 100,200 to 102,200 nohead lc rgb 'grey'
set arrow 3 from 100,198 to 102,198 nohead lc rgb 'grey'
set arrow 4 from 102,200 to 102,198 nohead lc rgb 'grey'
unset key
set label 1 'Initial Values:' at screen 0.02,0.95
set label 2 'Mean: -1.25' at screen 0.02,0.90
set label 3 'Std Dev: 2.5' at screen 0.02,0.85
set object circle at screen 0.02,0.65 radius char 0.5 fillstyle solid fillcolor rgb '#0000ff'
set label 4 'e < -15' at screen 0.03,0.65
set object circle at screen 0.02,0.60 radius char 0.5 fillstyle solid fillcolor rgb '#008000'
set label 5 '-15 <= e < -10' at screen 0.03,0.60
set object circle at screen 0.02,0.55 radius char 0.5 fillstyle solid fillcolor rgb '#00ff00'
set label 6 '-10 <=e < -5' at screen 0.03,0.55
set object circle at screen 0.02,0.50 radius char 0.5 fillstyle solid fillcolor rgb '#ffd700'
set label 7 '-5 <= e <= 5' at screen 0.03,0.50
set object circle at screen 0.02,0.45 radius char 0.5 fillstyle solid fillcolor rgb '#ff8800'
set label 8 '5 < e <= 10' at screen 0.03,0.45
set object circle at screen 0.02,0.40 radius char 0.5 fillstyle solid fillcolor rgb '#ff0000'
set label 9 '10 < e <= 15' at screen 0.03,0.40
set object circle at screen 0.02,0.35 radius char 0.5 fillstyle solid fillcolor rgb '#bb0000'
set label 10 'e > 15' at screen 0.03,0.35
plot '-' using 1:2:3 with points pt 7 ps 1.5 lc rgb variable
100.5 199.25 0x008000
101 199 0xffd700
-1.5 2.25 0xffd700
e
reset
